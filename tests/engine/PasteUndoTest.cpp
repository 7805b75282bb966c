// A paste is all or nothing: whichever step of it fails, the document is exactly as it was
// before, and the join's fallback Paste then gives what an undisturbed paste gives.
#include "EngineFixture.h"
#include "StructuralCheck.h"

#include "engine/package/Xml.h"

#include <fstream>
#include <iterator>

namespace paperloom::engine::testing {
namespace {

constexpr const char* kWml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";

std::string bytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// "" when two written packages hold the same parts with the same text, else the first part in
/// which they differ. (Their zip bytes may differ: a save compresses what changed since the
/// last one in a piece of its own, so an extra save in between splits the pieces otherwise.)
std::string difference(const std::filesystem::path& path, const std::string& expected) {
    if (bytesOf(path) == expected) {
        return {};
    }
    const auto scratch = path.string() + ".expected";
    std::ofstream(scratch, std::ios::binary) << expected;
    const Written mine(path);
    const Written theirs(scratch);
    for (const auto& [name, data] : theirs.package().parts) {
        if (!mine.has(name)) {
            return "missing part " + name;
        }
        const std::string a = mine.text(name);
        const std::string b = theirs.text(name);
        if (a != b) {
            std::size_t at = 0;
            while (at < a.size() && at < b.size() && a[at] == b[at]) {
                ++at;
            }
            const std::size_t from = at > 60 ? at - 60 : 0;
            return name + " has ..." + a.substr(from, 120) + "... instead of ..." +
                   b.substr(from, 120) + "...";
        }
    }
    for (const auto& [name, data] : mine.package().parts) {
        if (!theirs.has(name)) {
            return "extra part " + name;
        }
    }
    return {};
}

/// A document with work for every step of a paste: styles that collide between documents, a
/// list, notes, a comment, a footer with a picture, a link, a bookmark and a content control.
DocDraft richDoc(const std::string& colour) {
    DocDraft draft;
    draft.styles = "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
                   "w:val=\"Normal\"/></w:style><w:style w:type=\"paragraph\" "
                   "w:styleId=\"Heading1\"><w:name w:val=\"heading 1\"/><w:rPr><w:color w:val=\"" +
                   colour + "\"/></w:rPr></w:style>";
    draft.numbering = "<w:abstractNum w:abstractNumId=\"0\"><w:nsid w:val=\"11111111\"/><w:lvl "
                      "w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt w:val=\"decimal\"/></w:lvl>"
                      "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>";
    draft.body =
        "<w:p w14:paraId=\"00000001\"><w:pPr><w:pStyle w:val=\"Heading1\"/></w:pPr>"
        "<w:bookmarkStart w:id=\"0\" w:name=\"Mark\"/><w:r><w:t>" +
        colour +
        "</w:t></w:r><w:bookmarkEnd w:id=\"0\"/></w:p><w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/>"
        "<w:numId w:val=\"1\"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r>"
        "<w:r><w:footnoteReference w:id=\"1\"/></w:r><w:r><w:endnoteReference w:id=\"1\"/></w:r>"
        "<w:commentRangeStart w:id=\"3\"/><w:hyperlink r:id=\"rIdLink\"><w:r><w:t>link</w:t>"
        "</w:r></w:hyperlink><w:commentRangeEnd w:id=\"3\"/><w:r><w:commentReference "
        "w:id=\"3\"/></w:r></w:p><w:sdt><w:sdtPr><w:id w:val=\"42\"/></w:sdtPr><w:sdtContent>"
        "<w:p><w:r><w:t>control</w:t></w:r></w:p></w:sdtContent></w:sdt>";
    auto notes = [&](const std::string& kind) {
        return "<w:" + kind + " w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r>" +
               "</w:p></w:" + kind + "><w:" + kind +
               " w:type=\"continuationSeparator\" w:id=\"0\"><w:p><w:r><w:continuationSeparator/>"
               "</w:r></w:p></w:" +
               kind + "><w:" + kind + " w:id=\"1\"><w:p><w:r><w:t>" + kind + " " + colour +
               "</w:t></w:r></w:p></w:" + kind + ">";
    };
    draft.footnotes = notes("footnote");
    draft.endnotes = notes("endnote");
    draft.settings = "<w:footnotePr><w:footnote w:id=\"-1\"/><w:footnote w:id=\"0\"/>"
                     "</w:footnotePr><w:endnotePr><w:endnote w:id=\"-1\"/><w:endnote w:id=\"0\"/>"
                     "</w:endnotePr>";
    draft.comments = "<w:comment w:id=\"3\" w:author=\"Ann\"><w:p w14:paraId=\"00000002\"><w:r>"
                     "<w:t>remark " +
                     colour + "</w:t></w:r></w:p></w:comment>";
    draft.sectPr = "<w:sectPr><w:footerReference w:type=\"default\" r:id=\"rIdFooter\"/>"
                   "<w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>";
    draft.rels["rIdLink"] = {"hyperlink", "https://" + colour + ".example/", true};
    draft.rels["rIdFooter"] = {"footer", "footer1.xml", false};
    draft.parts["word/footer1.xml"] = {
        std::string(kWml) + "footer+xml",
        "<w:ftr" + testNamespaces() +
            "><w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"1\" cy=\"1\"/><wp:docPr id=\"1\" "
            "name=\"logo\"/><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip "
            "r:embed=\"rIdLogo\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
            "</wp:inline></w:drawing></w:r></w:p></w:ftr>"};
    draft.partRels["word/footer1.xml"]["rIdLogo"] = {"image", "media/logo.png", false};
    draft.parts["word/media/logo.png"] = {"", "picture " + colour};
    return draft;
}

/// An engine whose pastes call a hook before each of their steps; the hook can fail the
/// step-th step from now, once.
struct FaultyEngine {
    FaultyEngine() : engine(options()) {}

    EngineOptions options() {
        EngineOptions result;
        result.paper = PaperSize::A4;
        result.beforePasteStep = [this](std::string_view step) {
            steps.emplace_back(step);
            if (failIn >= 0 && failIn-- == 0) {
                throw std::runtime_error("failed on purpose at " + std::string(step));
            }
        };
        return result;
    }

    std::vector<std::string> steps; // every step every paste went through
    int failIn = -1;                // steps to go until the failing one; -1: none fails
    DocumentEngine engine;
};

class PasteUndoTest : public EngineFixture {
protected:
    /// Joins without failures into a folder of its own and returns the bytes written.
    std::string cleanJoin(const std::vector<std::string>& inputs, const std::string& folder) {
        std::filesystem::create_directory(dir / folder);
        const std::string output = (dir / folder / "joined.docx").string();
        joinDocuments(engine, inputs, output, JoinChoices{});
        EXPECT_EQ(structuralProblems(std::filesystem::path(output)), std::vector<std::string>{});
        return bytesOf(output);
    }
};

TEST_F(PasteUndoTest, FailingAnyStepLeavesTheDocumentAsItWasAndTheFallbackCompletesIt) {
    const std::string a = write("a.docx", richDoc("A0A0A0"));
    const std::string b = write("b.docx", richDoc("B0B0B0"));
    const std::string joinedA = cleanJoin({a}, "a");
    const std::string joinedAB = cleanJoin({a, b}, "ab");
    // The state a new document is in when the first paste fails: made, turned, saved.
    std::string blank;
    {
        auto word = engine.createInstance();
        WordDocument& document = word->Documents().Add();
        word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
        document.PageSetup().setOrientation(PageOrientation::Portrait);
        document.SaveAs((dir / "blank.docx").string());
        blank = bytesOf(dir / "blank.docx");
        word->Quit();
    }
    FaultyEngine counting;
    joinDocuments(counting.engine, {a}, (dir / "count.docx").string(), JoinChoices{});
    const std::vector<std::string> steps = counting.steps;
    ASSERT_GE(steps.size(), 10u);

    for (int step = 0; step < static_cast<int>(steps.size()); ++step) {
        SCOPED_TRACE("failing step " + steps[step]);
        FaultyEngine faulty;
        const std::string output = (dir / "joined.docx").string();
        const std::string undone = (dir / "undone.docx").string();

        // The first paste, into a new document.
        CopyDocumentToClipboard(faulty.engine, noChoices, a);
        auto word = faulty.engine.createInstance();
        WordDocument& document = word->Documents().Add();
        word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
        document.PageSetup().setOrientation(PageOrientation::Portrait);
        faulty.failIn = step;
        EXPECT_THROW(word->Selection().PasteAndFormat(PasteFormat::Original), WordError);
        word->ActiveDocument().SaveAs(undone);
        EXPECT_EQ(difference(undone, blank), "");
        word->Selection().Paste();
        word->ActiveDocument().SaveAs(output);
        word->Quit();
        EXPECT_EQ(difference(output, joinedA), "");

        // A later paste, into the joined document opened again.
        CopyDocumentToClipboard(faulty.engine, noChoices, b);
        word = faulty.engine.createInstance();
        word->Documents().Open(output);
        word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
        faulty.failIn = step;
        EXPECT_THROW(word->Selection().PasteAndFormat(PasteFormat::Original), WordError);
        word->ActiveDocument().SaveAs(undone);
        EXPECT_EQ(difference(undone, joinedA), "");
        word->Selection().Paste();
        word->ActiveDocument().SaveAs(output);
        word->Quit();
        EXPECT_EQ(difference(output, joinedAB), "");
    }
}

TEST_F(PasteUndoTest, ADocumentWithUnreadableSettingsKeepsEachNoteOnce) {
    DocDraft draft;
    draft.body = "<w:p><w:r><w:t>x</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r></w:p>";
    draft.footnotes = "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/>"
                      "</w:r></w:p></w:footnote><w:footnote w:id=\"1\"><w:p><w:r><w:t>note</w:t>"
                      "</w:r></w:p></w:footnote>";
    draft.settings = "<w:footnotePr><w:footnote w:id=\"-1\"/>"; // not well-formed
    const std::string damaged = write("damaged.docx", draft);
    const Written out(join({write("plain.docx", DocDraft()), damaged}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto notes = out.xml("word/footnotes.xml");
    EXPECT_EQ(attributeValues(notes.document_element(), "w:footnote", "w:id").size(), 2u);
    EXPECT_EQ(
        attributeValues(out.document().document_element(), "w:footnoteReference", "w:id").size(),
        1u);
}

} // namespace
} // namespace paperloom::engine::testing
