// A fixture with an engine, a temporary folder and shortcuts for joining test documents.
#pragma once

#include "JoinDocuments.h"
#include "TestDocuments.h"

#include "engine/automation/DocumentEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace paperloom::engine::testing {

class EngineFixture : public ::testing::Test {
protected:
    EngineFixture() : engine(makeOptions()) {}

    static EngineOptions makeOptions() {
        EngineOptions options;
        options.paper = PaperSize::A4;
        return options;
    }

    /// Writes a document into the temporary folder and returns its path.
    std::string write(const std::string& name, const DocDraft& draft) {
        const auto path = dir / name;
        draft.write(path);
        return path.string();
    }

    /// Joins the documents with the join's call sequence and returns the output path.
    std::string join(const std::vector<std::string>& inputs, JoinChoices choices = {}) {
        const std::string output = (dir / "joined.docx").string();
        joinDocuments(engine, inputs, output, choices);
        return output;
    }

    /// Joins the documents at own and other both ways round (page breaks on), renders the three
    /// through LibreOffice (check canRenderPdfs first) and expects word, which own alone shows
    /// more than minimumTop points below the top of its page, at the same height in both joins.
    void expectWordWhereItStandsAlone(const std::string& own, const std::string& other,
                                      const std::string& word, double minimumTop = 0) {
        ASSERT_EQ(renderBothWaysRound(own, other), "");
        const double alone = pdfWordTop(pdfOf(own), word);
        ASSERT_GT(alone, minimumTop);
        for (const char* name : {"ownfirst", "otherfirst"}) {
            EXPECT_NEAR(pdfWordTop(pdfOf(name), word), alone, 0.5) << name;
        }
    }

    /// Joins own and other both ways round (page breaks on) into ownfirst.docx and
    /// otherfirst.docx and renders own, other where otherToo, and the joins through LibreOffice
    /// (check canRenderPdfs first); what went wrong, "" when all rendered.
    std::string renderBothWaysRound(const std::string& own, const std::string& other,
                                    bool otherToo = false) {
        std::vector<std::string> files{own};
        if (otherToo) {
            files.push_back(other);
        }
        for (const auto& [name, inputs] :
             {std::pair<std::string, std::vector<std::string>>{"ownfirst", {own, other}},
              {"otherfirst", {other, own}}}) {
            files.push_back((dir / (name + ".docx")).string());
            joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
        }
        return renderPdfs(dir, files);
    }

    /// Joins own and other both ways round and expects, through LibreOffice (check
    /// canRenderPdfs first), own alone on ownPages pages, other alone on otherPages (not
    /// rendered when 0) and either join on joinedPages.
    void expectPagesEitherWay(const std::string& own, int ownPages, const std::string& other,
                              int otherPages, int joinedPages) {
        ASSERT_EQ(renderBothWaysRound(own, other, otherPages > 0), "");
        ASSERT_EQ(pdfPages(pdfOf(own)), ownPages);
        if (otherPages > 0) {
            ASSERT_EQ(pdfPages(pdfOf(other)), otherPages);
        }
        for (const char* name : {"ownfirst", "otherfirst"}) {
            EXPECT_EQ(pdfPages(pdfOf(name)), joinedPages) << name;
        }
    }

    /// The rendering of the document at path, or of the join called so, in dir/pdf.
    [[nodiscard]] std::filesystem::path pdfOf(const std::string& path) const {
        return dir / "pdf" / (std::filesystem::path(path).stem().string() + ".pdf");
    }

    /// expectWordWhereItStandsAlone for own beside a document of one plain paragraph; skips
    /// the test where LibreOffice or poppler-utils is missing.
    void expectWordWhereItStandsBesideAPlainOne(const DocDraft& own, const std::string& word,
                                                double minimumTop = 0) {
        DocDraft plain;
        plain.body = "<w:p><w:r><w:t>plain</w:t></w:r></w:p>";
        const std::string ownPath = write("own.docx", own);
        const std::string plainPath = write("plain.docx", plain);
        if (!canRenderPdfs()) {
            GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
        }
        expectWordWhereItStandsAlone(ownPath, plainPath, word, minimumTop);
    }

    TempDir dir;
    /// What a join step called alone reads: no page breaks, portrait.
    FixedJoinWindow noChoices = stepContext();
    /// With KEEP_JOINED=path set, a test's output is kept there for a look in a word processor.
    ~EngineFixture() override {
        if (std::getenv("KEEP_JOINED") != nullptr && std::filesystem::exists(dir / "joined.docx")) {
            std::filesystem::copy_file(dir / "joined.docx", std::getenv("KEEP_JOINED"),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
    DocumentEngine engine;
};

/// Letter paper with one-inch margins: 648 pt for the text.
inline constexpr const char* kLetter =
    "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
    "w:bottom=\"1440\" w:left=\"1440\" w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/>"
    "</w:sectPr>";

/// A paragraph with one run of text and optional paragraph properties.
inline std::string para(const std::string& text, const std::string& pPr = {}) {
    return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") + "<w:r><w:t>" + text +
           "</w:t></w:r></w:p>";
}

/// count table rows of one cell width twips wide, each holding the paragraph "label N".
inline std::string oneCellRows(int count, int width, const std::string& label) {
    std::string rows;
    for (int i = 0; i < count; ++i) {
        rows += "<w:tr><w:tc><w:tcPr><w:tcW w:w=\"" + std::to_string(width) +
                "\" w:type=\"dxa\"/></w:tcPr>" + para(label + " " + std::to_string(i)) +
                "</w:tc></w:tr>";
    }
    return rows;
}

} // namespace paperloom::engine::testing
