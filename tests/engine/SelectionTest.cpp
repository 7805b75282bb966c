// Word processor semantics of the selection and of instances: end, paste, breaks, backspace.
#include "EngineFixture.h"

#include <cstring>

namespace paperloom::engine::testing {
namespace {

using SelectionTest = EngineFixture;

TEST_F(SelectionTest, BackspaceDeletesTheCharacterBeforeTheInsertionPoint) {
    DocDraft draft;
    draft.body = para("first") + para("Grüß");
    const std::string path = write("text.docx", draft);
    auto word = engine.createInstance();
    word->Documents().Open(path);
    word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
    // The insertion point is in the last paragraph: "Grüß" loses its last (two-byte) letter.
    word->Selection().TypeBackspace();
    word->Selection().TypeBackspace();
    const std::string output = (dir / "out.docx").string();
    word->ActiveDocument().SaveAs(output);
    word->Quit();
    EXPECT_EQ(Written(output).paragraphs(), (std::vector<std::string>{"first", "Gr"}));
}

TEST_F(SelectionTest, BackspaceAfterABreakRemovesTheBreak) {
    auto word = engine.createInstance();
    word->Documents().Add();
    word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
    word->Selection().InsertBreak({BreakType::Page});
    word->Selection().EndKey({EndKeyUnit::Story, std::nullopt});
    word->Selection().TypeBackspace();
    const std::string output = (dir / "out.docx").string();
    word->ActiveDocument().SaveAs(output);
    const auto doc = Written(output).document();
    EXPECT_TRUE(attributeValues(doc.document_element(), "w:br", "w:type").empty());
}

TEST_F(SelectionTest, BackspaceReachesBackIntoContentJoinedLongAgo) {
    // Sixty one-paragraph documents without sections: the joined body is stored in compressed
    // pieces, older ones merged, and backspacing must pull paragraphs back out of them.
    std::vector<std::string> inputs;
    for (int i = 0; i < 60; ++i) {
        DocDraft draft;
        draft.sectPr.clear();
        draft.body = para("p" + std::to_string(100 + i));
        inputs.push_back(write("in" + std::to_string(i) + ".docx", draft));
    }
    const std::string output = join(inputs);
    auto word = engine.createInstance();
    word->Documents().Open(output);
    word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
    // The empty paragraph after the last document goes first; then each paragraph is four
    // letters and a mark, so 40 paragraphs go in 200 backspaces.
    for (int i = 0; i < 201; ++i) {
        word->Selection().TypeBackspace();
    }
    word->ActiveDocument().SaveAs(output);
    word->Quit();
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        expected.push_back("p" + std::to_string(100 + i));
    }
    EXPECT_EQ(Written(output).paragraphs(), expected);
}

TEST_F(SelectionTest, UnsupportedMovesAndPastesFailWithAWordError) {
    auto word = engine.createInstance();
    word->Documents().Add();
    EXPECT_THROW(word->Selection().EndKey({static_cast<EndKeyUnit>(5), std::nullopt}), WordError);
    EXPECT_THROW(word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Extend}), WordError);
    EXPECT_THROW(word->Selection().PasteAndFormat(static_cast<PasteFormat>(22)), WordError);
    EXPECT_THROW(word->Selection().InsertBreak({static_cast<BreakType>(2)}), WordError);
    EXPECT_THROW(word->ActiveDocument().PageSetup().setOrientation(static_cast<PageOrientation>(2)),
                 WordError);
    // Nothing was copied with this engine yet.
    EXPECT_THROW(word->Selection().Paste(), WordError);
}

TEST_F(SelectionTest, PasteNeedsTheInsertionPointAtTheEndOfANonEmptyDocument) {
    DocDraft draft;
    const std::string path = write("a.docx", draft);
    CopyDocumentToClipboard(engine, noChoices, path);
    auto word = engine.createInstance();
    word->Documents().Open(path);
    EXPECT_THROW(word->Selection().Paste(), WordError);
    word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
    EXPECT_NO_THROW(word->Selection().Paste());
}

TEST_F(SelectionTest, ClipboardIsSharedByInstancesAndIsASnapshot) {
    DocDraft draft;
    draft.body = para("original");
    const std::string path = write("a.docx", draft);
    CopyDocumentToClipboard(engine, noChoices, path);
    // Changing the file after the copy does not change what is pasted.
    draft.body = para("changed later");
    draft.write(path);
    auto word = engine.createInstance();
    word->Documents().Add();
    word->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
    word->Selection().PasteAndFormat(PasteFormat::Original);
    const std::string output = (dir / "out.docx").string();
    word->ActiveDocument().SaveAs(output);
    EXPECT_EQ(Written(output).paragraphs().front(), "original");
    // A second engine has a clipboard of its own.
    DocumentEngine other(makeOptions());
    auto stranger = other.createInstance();
    stranger->Documents().Add();
    EXPECT_THROW(stranger->Selection().Paste(), WordError);
}

TEST_F(SelectionTest, InstancesAndDocumentsRefuseWorkAfterTheyEnd) {
    auto word = engine.createInstance();
    EXPECT_EQ(word->Name(), kWordApplicationName);
    EXPECT_THROW(word->ActiveDocument(), WordError);
    WordDocument& document = word->Documents().Add();
    document.Close();
    EXPECT_THROW(document.SaveAs((dir / "x.docx").string()), WordError);
    EXPECT_THROW(word->ActiveDocument(), WordError);
    word->Quit();
    EXPECT_THROW(word->Documents(), WordError);
    EXPECT_THROW(word->Quit(), WordError);
}

TEST_F(SelectionTest, RunningInstanceComesFromTheFinderOrIsAnError) {
    try {
        (void)engine.findRunningInstance();
        FAIL() << "no finder is set";
    } catch (const WordError& error) {
        EXPECT_EQ(error.userMessage(), "No word processor is running.");
    }
    engine.setRunningInstanceFinder([this] { return engine.createInstance(); });
    EXPECT_NE(engine.findRunningInstance(), nullptr);
    engine.setRunningInstanceFinder([] { return std::unique_ptr<WordApplication>(); });
    EXPECT_THROW((void)engine.findRunningInstance(), WordError);
}

TEST_F(SelectionTest, NewDocumentsFollowThePaperOption) {
    for (const auto& [paper, width] :
         {std::pair{PaperSize::A4, 11906}, {PaperSize::Letter, 12240}}) {
        EngineOptions options;
        options.paper = paper;
        DocumentEngine local(options);
        auto word = local.createInstance();
        word->Documents().Add();
        const std::string output = (dir / "blank.docx").string();
        word->ActiveDocument().SaveAs(output);
        const auto doc = Written(output).document();
        const auto pgSz = doc.document_element().child("w:body").child("w:sectPr").child("w:pgSz");
        EXPECT_EQ(pgSz.attribute("w:w").as_int(), width);
        EXPECT_EQ(pgSz.parent().child("w:pgMar").attribute("w:top").as_int(), 1440);
    }
}

} // namespace
} // namespace paperloom::engine::testing
