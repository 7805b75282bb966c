// Real documents from the public corpus: every one pastes or fails cleanly; joins stay
// consistent packages that LibreOffice and python-docx read, with the sources' text in order.
#include "EngineFixture.h"
#include "StructuralCheck.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace paperloom::engine::testing {
namespace {

const std::string kCorpus = PAPERLOOM_CORPUS_DIR;

std::vector<std::string> corpusDocuments() {
    std::vector<std::string> paths;
    for (const char* folder : {"docxcompose", "python-docx", "word-extractor"}) {
        const auto dir = std::filesystem::path(kCorpus) / folder;
        if (!std::filesystem::exists(dir)) {
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.path().extension() == ".docx") {
                paths.push_back(entry.path().string());
            }
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool haveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

using CorpusTest = EngineFixture;

TEST_F(CorpusTest, EveryDocumentPastesIntoANewOneOrFailsWithAWordError) {
    const auto paths = corpusDocuments();
    if (paths.empty()) {
        GTEST_SKIP() << "corpus not present";
    }
    int joined = 0;
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        const std::string output = (dir / "single.docx").string();
        try {
            joinDocuments(engine, {path}, output, JoinChoices{true, false});
        } catch (const WordError& error) {
            EXPECT_EQ(error.userMessage().rfind("Cannot ", 0), 0u) << error.userMessage();
            continue;
        }
        ++joined;
        EXPECT_EQ(newStructuralProblems(output, {path}), std::vector<std::string>{});
    }
    EXPECT_GT(joined, static_cast<int>(paths.size()) * 9 / 10);
}

TEST_F(CorpusTest, JoiningEachFolderGivesAConsistentPackageThatPythonDocxReads) {
    for (const char* folder : {"docxcompose", "python-docx", "word-extractor"}) {
        SCOPED_TRACE(folder);
        std::vector<std::string> inputs;
        for (const auto& path : corpusDocuments()) {
            if (path.find(std::string("/") + folder + "/") == std::string::npos) {
                continue;
            }
            try {
                CopyDocumentToClipboard(engine, noChoices, path);
                inputs.push_back(path);
            } catch (const WordError&) {
                // fails cleanly on its own; the join takes the others
            }
        }
        if (inputs.size() < 2) {
            continue;
        }
        const std::string output = (dir / (std::string(folder) + ".docx")).string();
        joinDocuments(engine, inputs, output, JoinChoices{true, true});
        EXPECT_EQ(newStructuralProblems(output, {inputs.begin(), inputs.end()}),
                  std::vector<std::string>{});
        if (haveProgram("/usr/bin/python3")) {
            const std::string command = "/usr/bin/python3 -c 'import sys, docx; "
                                        "docx.Document(sys.argv[1])' '" +
                                        output + "' 2>&1";
            EXPECT_EQ(std::system(command.c_str()), 0) << "python-docx refused " << output;
        }
    }
}

/// Non-empty lines of a LibreOffice text export, trimmed, without byte-order marks.
std::vector<std::string> textLines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        for (const std::string junk : {"\xEF\xBB\xBF", "\r", "\f"}) {
            for (auto at = line.find(junk); at != std::string::npos; at = line.find(junk)) {
                line.erase(at, junk.size());
            }
        }
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos) {
            continue;
        }
        lines.push_back(line.substr(first, line.find_last_not_of(" \t") - first + 1));
    }
    return lines;
}

TEST_F(CorpusTest, CommentThreadsChartsSmartArtAndEmbeddedFontsOfRealDocumentsSurvive) {
    std::vector<std::string> inputs;
    for (const char* name :
         {"word-extractor/test10.docx", "python-docx/f-comments-rich-para.docx",
          "docxcompose/smart_art.docx", "docxcompose/smart_art.docx",
          "docxcompose/embedded_excel_chart.docx", "python-docx/f-shp-inline-shape-access.docx",
          "docxcompose/aatmay.docx", "docxcompose/aatmay.docx", "docxcompose/content_controls.docx",
          "docxcompose/footnotes_with_hyperlinks.docx"}) {
        const auto path = std::filesystem::path(kCorpus) / name;
        if (!std::filesystem::exists(path)) {
            GTEST_SKIP() << "corpus not present";
        }
        inputs.push_back(path.string());
    }
    const std::string output = join(inputs, JoinChoices{true, false});
    EXPECT_EQ(newStructuralProblems(output, {inputs.begin(), inputs.end()}),
              std::vector<std::string>{});
    const Written out(output);
    // Two threads entries of test10 and four of f-comments-rich-para (its fifth names a
    // comment the file does not have).
    const auto threads = out.xml("word/commentsExtended.xml");
    EXPECT_EQ(attributeValues(threads.document_element(), "w15:commentEx", "w15:paraId").size(),
              6u);
    // Every diagram has its own drawing; every chart its own workbook; each font its data once.
    int drawings = 0;
    int workbooks = 0;
    int fonts = 0;
    for (const auto& [name, data] : out.package().parts) {
        drawings += name.rfind("word/diagrams/drawing", 0) == 0 ? 1 : 0;
        workbooks += name.rfind("word/embeddings/", 0) == 0 ? 1 : 0;
        fonts += name.rfind("word/fonts/", 0) == 0 ? 1 : 0;
    }
    const auto doc = out.document();
    EXPECT_EQ(drawings, static_cast<int>(
                            attributeValues(doc.document_element(), "dgm:relIds", "r:dm").size()));
    EXPECT_EQ(drawings, 3);
    EXPECT_EQ(workbooks, 2);
    EXPECT_EQ(fonts, 12);
    if (haveProgram("/usr/bin/python3")) {
        const std::string command =
            "/usr/bin/python3 -c 'import sys, docx; docx.Document(sys.argv[1])' '" + output +
            "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << "python-docx refused " << output;
    }
    if (haveProgram("soffice") && haveProgram("timeout")) {
        const std::string command = "cd '" + dir.path().string() + "' && timeout 240 soffice " +
                                    "-env:UserInstallation=file://" + (dir / "profile").string() +
                                    " --headless --convert-to txt:Text --outdir '" +
                                    (dir / "text").string() + "' '" + output + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_GT(textLines(dir / "text" / "joined.txt").size(), 20u);
    }
}

TEST_F(CorpusTest, LibreOfficeReadsTheSourcesTextInOrder) {
    if (!haveProgram("soffice") || !haveProgram("timeout")) {
        GTEST_SKIP() << "LibreOffice is not installed";
    }
    std::vector<std::string> inputs;
    for (const char* name :
         {"word-extractor/test17.docx", "docxcompose/numberings.docx", "python-docx/t-test.docx",
          "docxcompose/footnote.docx", "docxcompose/table.docx", "docxcompose/hyperlinks.docx"}) {
        const auto path = std::filesystem::path(kCorpus) / name;
        if (!std::filesystem::exists(path)) {
            GTEST_SKIP() << "corpus not present";
        }
        // Copies with distinct names, so that one conversion run gives one text file each.
        const auto copy = dir / ("src" + std::to_string(inputs.size()) + ".docx");
        std::filesystem::copy_file(path, copy);
        inputs.push_back(copy.string());
    }
    const std::string output = join(inputs, JoinChoices{true, false});
    std::string command = "cd '" + dir.path().string() + "' && timeout 240 soffice " +
                          "-env:UserInstallation=file://" + (dir / "profile").string() +
                          " --headless --convert-to txt:Text --outdir '" + (dir / "text").string() +
                          "'";
    for (const auto& input : inputs) {
        command += " '" + input + "'";
    }
    command += " '" + output + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const auto lines = textLines(dir / "text" / ("src" + std::to_string(i) + ".txt"));
        ASSERT_FALSE(lines.empty()) << inputs[i];
        expected.insert(expected.end(), lines.begin(), lines.end());
    }
    EXPECT_EQ(textLines(dir / "text" / "joined.txt"), expected);
}

} // namespace
} // namespace paperloom::engine::testing
