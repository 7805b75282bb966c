// What a join keeps of each document: styles, lists, media, links, notes, ids, breaks, sections.
#include "EngineFixture.h"

#include "engine/package/Xml.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace paperloom::engine::testing {
namespace {

using JoinTest = EngineFixture;

pugi::xml_node styleById(const pugi::xml_document& styles, const std::string& id) {
    for (auto style : styles.document_element().children("w:style")) {
        if (id == style.attribute("w:styleId").value()) {
            return style;
        }
    }
    return {};
}

template <typename T> bool allUnique(const std::vector<T>& values) {
    return std::set<T>(values.begin(), values.end()).size() == values.size();
}

const std::string kHeading = R"(<w:style w:type="paragraph" w:styleId="Heading1">
  <w:name w:val="heading 1"/><w:basedOn w:val="Normal"/><w:rPr><w:color w:val="%"/></w:rPr>
</w:style>)";
const std::string kNormal = R"(<w:style w:type="paragraph" w:default="1" w:styleId="Normal">
  <w:name w:val="Normal"/><w:rPr><w:sz w:val="%"/></w:rPr></w:style>)";

std::string fill(std::string text, const std::string& value) {
    text.replace(text.find('%'), 1, value);
    return text;
}

// ------------------------------------------------------------------------------ styles

TEST_F(JoinTest, StylesWithTheSameIdAndDifferentLooksKeepTheirLooks) {
    DocDraft red;
    red.styles = fill(kNormal, "22") + fill(kHeading, "FF0000");
    red.body = para("Red", "<w:pStyle w:val=\"Heading1\"/>") + para("plain red");
    DocDraft blue = red;
    blue.styles = fill(kNormal, "22") + fill(kHeading, "0000FF");
    blue.body = para("Blue", "<w:pStyle w:val=\"Heading1\"/>") + para("plain blue");

    const Written out(join({write("red.docx", red), write("blue.docx", blue)}));
    const auto doc = out.document();
    const auto styles = out.xml("word/styles.xml");
    const std::string redId =
        paragraphWithText(doc, "Red").child("w:pPr").child("w:pStyle").attribute("w:val").value();
    const std::string blueId =
        paragraphWithText(doc, "Blue").child("w:pPr").child("w:pStyle").attribute("w:val").value();
    ASSERT_NE(redId, blueId);
    const auto redStyle = styleById(styles, redId);
    const auto blueStyle = styleById(styles, blueId);
    ASSERT_TRUE(redStyle && blueStyle);
    EXPECT_STREQ(redStyle.child("w:rPr").child("w:color").attribute("w:val").value(), "FF0000");
    EXPECT_STREQ(blueStyle.child("w:rPr").child("w:color").attribute("w:val").value(), "0000FF");
    // The renamed copy has a unique name and still is a level-1 heading.
    EXPECT_STRNE(redStyle.child("w:name").attribute("w:val").value(),
                 blueStyle.child("w:name").attribute("w:val").value());
    EXPECT_STREQ(blueStyle.child("w:pPr").child("w:outlineLvl").attribute("w:val").value(), "0");
    auto names = attributeValues(styles.document_element(), "w:name", "w:val");
    EXPECT_TRUE(allUnique(names));
}

TEST_F(JoinTest, IdenticalStylesAreSharedAcrossDocuments) {
    DocDraft draft;
    draft.styles = fill(kNormal, "22") + fill(kHeading, "FF0000");
    draft.body = para("Title", "<w:pStyle w:val=\"Heading1\"/>");
    const std::string path = write("same.docx", draft);
    const Written out(join({path, path, path}));
    const auto styles = out.xml("word/styles.xml");
    const auto colors = attributeValues(styles.document_element(), "w:color", "w:val");
    EXPECT_EQ(std::count(colors.begin(), colors.end(), "FF0000"), 1);
    const auto doc = out.document();
    for (const auto& id : attributeValues(doc.document_element(), "w:pStyle", "w:val")) {
        EXPECT_TRUE(styleById(styles, id)) << id;
    }
}

TEST_F(JoinTest, ParagraphsWithoutStyleKeepTheirDocumentsDefaultStyle) {
    DocDraft small;
    small.styles = fill(kNormal, "20");
    small.body = para("small text");
    DocDraft large;
    large.styles = fill(kNormal, "40");
    large.body = para("large text");
    const Written out(join({write("small.docx", small), write("large.docx", large)}));
    const auto doc = out.document();
    const auto styles = out.xml("word/styles.xml");
    for (const auto& [text, size] :
         {std::pair{"small text", "20"}, std::pair{"large text", "40"}}) {
        const auto paragraph = paragraphWithText(doc, text);
        ASSERT_TRUE(paragraph) << text;
        std::string id = paragraph.child("w:pPr").child("w:pStyle").attribute("w:val").value();
        if (id.empty()) { // the first document's default style is the joined document's
            id = styles.select_node("//w:style[@w:type='paragraph' and @w:default='1']")
                     .node()
                     .attribute("w:styleId")
                     .value();
        }
        const auto style = styleById(styles, id);
        ASSERT_TRUE(style) << text << " names style '" << id << "'";
        EXPECT_STREQ(style.child("w:rPr").child("w:sz").attribute("w:val").value(), size) << text;
    }
}

TEST_F(JoinTest, DifferentDocumentDefaultsAreResolvedIntoThePastedStyles) {
    DocDraft draft;
    draft.styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"32\"/></w:rPr></w:rPrDefault>"
                   "</w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" "
                   "w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style>";
    draft.body = para("big by default");
    DocDraft first = draft; // the first document's defaults become the joined document's
    first.styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"22\"/></w:rPr>"
                   "</w:rPrDefault></w:docDefaults>";
    first.body = para("first");
    const Written out(join({write("first.docx", first), write("defaults.docx", draft)}));
    const auto styles = out.xml("word/styles.xml");
    const auto doc = out.document();
    const std::string id = paragraphWithText(doc, "big by default")
                               .child("w:pPr")
                               .child("w:pStyle")
                               .attribute("w:val")
                               .value();
    const auto style = styleById(styles, id);
    ASSERT_TRUE(style) << id;
    EXPECT_STREQ(style.child("w:rPr").child("w:sz").attribute("w:val").value(), "32");
    // The target's own defaults are left alone: earlier content depends on them.
    EXPECT_STREQ(styles.document_element()
                     .child("w:docDefaults")
                     .child("w:rPrDefault")
                     .child("w:rPr")
                     .child("w:sz")
                     .attribute("w:val")
                     .value(),
                 "22");
}

TEST_F(JoinTest, FontsThePastedDocumentsNameAreAddedOnce) {
    DocDraft draft;
    draft.rels["rIdFonts"] = {"fontTable", "fontTable.xml", false};
    draft.parts["word/fontTable.xml"] = {
        "application/vnd.openxmlformats-officedocument.wordprocessingml.fontTable+xml",
        "<w:fonts" + testNamespaces() +
            "><w:font w:name=\"Fancy Serif\"><w:family w:val=\"roman\"/><w:embedRegular "
            "r:id=\"rId9\" w:fontKey=\"{00000000-0000-0000-0000-000000000000}\"/></w:font>"
            "</w:fonts>"};
    const std::string path = write("fonts.docx", draft);
    const Written out(join({path, path}));
    const auto fonts = out.xml("word/fontTable.xml");
    EXPECT_EQ(attributeValues(fonts.document_element(), "w:font", "w:name"),
              std::vector<std::string>{"Fancy Serif"});
    // Its embedded data is missing from the source: the reference goes, nothing dangles.
    EXPECT_FALSE(fonts.document_element().child("w:font").child("w:embedRegular"));
}

TEST_F(JoinTest, ThemeFontsAndColoursOfAnotherThemeAreResolvedInThePastedContent) {
    DocDraft draft;
    draft.setTheme(
        "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "name=\"Old\"><a:themeElements><a:clrScheme name=\"Old\"><a:accent1><a:srgbClr "
        "val=\"4F81BD\"/></a:accent1></a:clrScheme><a:fontScheme name=\"Old\"><a:majorFont>"
        "<a:latin typeface=\"Cambria\"/></a:majorFont><a:minorFont><a:latin "
        "typeface=\"Constantia\"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>");
    draft.styles = fill(kNormal, "22") +
                   "<w:style w:type=\"paragraph\" w:styleId=\"Title\"><w:name w:val=\"Title\"/>"
                   "<w:rPr><w:rFonts w:asciiTheme=\"majorHAnsi\" w:hAnsiTheme=\"majorHAnsi\"/>"
                   "<w:color w:val=\"365F91\" w:themeColor=\"accent1\" w:themeShade=\"BF\"/>"
                   "</w:rPr></w:style>";
    draft.body = para("Titled", "<w:pStyle w:val=\"Title\"/>") +
                 "<w:p><w:r><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\"/><w:color "
                 "w:val=\"4F81BD\" w:themeColor=\"accent1\"/></w:rPr><w:t>body</w:t></w:r></w:p>";
    // After a document with the new document's theme (the first document's theme is taken over).
    const Written out(join({write("plain.docx", DocDraft{}), write("themed.docx", draft)}));
    const auto doc = out.document();
    const auto styles = out.xml("word/styles.xml");
    const std::string titleId = paragraphWithText(doc, "Titled")
                                    .child("w:pPr")
                                    .child("w:pStyle")
                                    .attribute("w:val")
                                    .value();
    const auto rPr = styleById(styles, titleId).child("w:rPr");
    EXPECT_STREQ(rPr.child("w:rFonts").attribute("w:ascii").value(), "Cambria");
    EXPECT_FALSE(rPr.child("w:rFonts").attribute("w:asciiTheme"));
    EXPECT_STREQ(rPr.child("w:color").attribute("w:val").value(), "365F91");
    EXPECT_FALSE(rPr.child("w:color").attribute("w:themeColor"));
    const auto run = paragraphWithText(doc, "body").child("w:r").child("w:rPr");
    EXPECT_STREQ(run.child("w:rFonts").attribute("w:ascii").value(), "Constantia");
    EXPECT_FALSE(run.child("w:color").attribute("w:themeColor"));
}

// ------------------------------------------------------------------------------ lists

const std::string kNumbering = R"(<w:abstractNum w:abstractNumId="0"><w:nsid w:val="11111111"/>
  <w:lvl w:ilvl="0"><w:start w:val="1"/><w:numFmt w:val="decimal"/><w:pStyle w:val="ListNum"/>
  </w:lvl></w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>)";
const std::string kListStyle = R"(<w:style w:type="paragraph" w:styleId="ListNum">
  <w:name w:val="List Number"/><w:pPr><w:numPr><w:numId w:val="1"/></w:numPr></w:pPr></w:style>)";

TEST_F(JoinTest, ListsRestartInEachDocumentAndNumberingZeroStaysOff) {
    DocDraft draft;
    draft.numbering = kNumbering;
    draft.styles = fill(kNormal, "22") + kListStyle;
    const std::string numPr = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>";
    draft.body = para("one", numPr) + para("two", numPr) +
                 para("unnumbered", "<w:numPr><w:numId w:val=\"0\"/></w:numPr>") +
                 para("styled", "<w:pStyle w:val=\"ListNum\"/>");
    const std::string path = write("list.docx", draft);
    const Written out(join({path, path}));
    const auto doc = out.document();
    const auto ids = attributeValues(doc.document_element(), "w:numId", "w:val");
    // Per document: two numbered paragraphs share one list; the unnumbered one stays 0.
    ASSERT_EQ(ids.size(), 6u);
    EXPECT_EQ(ids[0], ids[1]);
    EXPECT_EQ(ids[2], "0");
    EXPECT_EQ(ids[3], ids[4]);
    EXPECT_EQ(ids[5], "0");
    EXPECT_NE(ids[0], ids[3]);

    const auto numbering = out.xml("word/numbering.xml");
    const auto root = numbering.document_element();
    std::map<std::string, std::string> abstractOf;
    for (auto num : root.children("w:num")) {
        abstractOf[num.attribute("w:numId").value()] =
            num.child("w:abstractNumId").attribute("w:val").value();
    }
    ASSERT_TRUE(abstractOf.count(ids[0]) && abstractOf.count(ids[3]));
    EXPECT_NE(abstractOf[ids[0]], abstractOf[ids[3]]);
    EXPECT_TRUE(allUnique(attributeValues(root, "w:nsid", "w:val")));
    EXPECT_TRUE(allUnique(attributeValues(root, "w:abstractNum", "w:abstractNumId")));
    // All abstract definitions come before the first list instance.
    bool seenNum = false;
    for (auto child : root.children()) {
        seenNum = seenNum || std::strcmp(child.name(), "w:num") == 0;
        EXPECT_FALSE(seenNum && std::strcmp(child.name(), "w:abstractNum") == 0);
    }
    // The list style of each document points to that document's own list.
    const auto styles = out.xml("word/styles.xml");
    std::set<std::string> styleNums;
    for (auto style : styles.document_element().children("w:style")) {
        if (auto numId = style.child("w:pPr").child("w:numPr").child("w:numId")) {
            styleNums.insert(numId.attribute("w:val").value());
        }
    }
    EXPECT_EQ(styleNums, (std::set<std::string>{ids[0], ids[3]}));
}

// ------------------------------------------------------------------------------ media, links

std::string pngBytes(char marker) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    png += std::string(64, marker);
    return png;
}

std::string pictureParagraph(const std::string& relId, int docPrId) {
    return "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"100\" cy=\"100\"/><wp:docPr id=\"" +
           std::to_string(docPrId) +
           "\" name=\"Picture\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats."
           "org/drawingml/2006/picture\"><pic:pic><pic:blipFill><a:blip r:embed=\"" +
           relId +
           "\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline>"
           "</w:drawing></w:r></w:p>";
}

DocDraft mediaDoc(char marker, const std::string& url) {
    DocDraft draft;
    draft.body = pictureParagraph("rId5", 1) + "<w:p><w:hyperlink r:id=\"rId15\"><w:r><w:t>" + url +
                 "</w:t></w:r></w:hyperlink></w:p>";
    draft.rels["rId5"] = {"image", "media/image1.png", false};
    draft.rels["rId15"] = {"hyperlink", url, true};
    draft.parts["word/media/image1.png"] = {"", pngBytes(marker)};
    return draft;
}

TEST_F(JoinTest, MediaAndHyperlinksWithCollidingIdsKeepTheirTargets) {
    const Written out(join({write("a.docx", mediaDoc('A', "https://a.example/")),
                            write("b.docx", mediaDoc('B', "https://b.example/"))}));
    const auto doc = out.document();
    const auto embeds = attributeValues(doc.document_element(), "a:blip", "r:embed");
    ASSERT_EQ(embeds.size(), 2u);
    EXPECT_EQ(out.text("word/" + out.relTarget(embeds[0])), pngBytes('A'));
    EXPECT_EQ(out.text("word/" + out.relTarget(embeds[1])), pngBytes('B'));
    const auto links = attributeValues(doc.document_element(), "w:hyperlink", "r:id");
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(out.relTarget(links[0]), "https://a.example/");
    EXPECT_EQ(out.relTarget(links[1]), "https://b.example/");
    EXPECT_TRUE(allUnique(attributeValues(doc.document_element(), "wp:docPr", "id")));
}

TEST_F(JoinTest, IdenticalMediaIsStoredOnce) {
    const std::string path = write("a.docx", mediaDoc('A', "https://a.example/"));
    const Written out(join({path, path, path}));
    int media = 0;
    for (const auto& [name, data] : out.package().parts) {
        media += name.find("word/media/") == 0 ? 1 : 0;
    }
    EXPECT_EQ(media, 1);
    const auto doc = out.document();
    const auto embeds = attributeValues(doc.document_element(), "a:blip", "r:embed");
    ASSERT_EQ(embeds.size(), 3u);
    EXPECT_EQ(out.relTarget(embeds[2]), out.relTarget(embeds[0]));
}

TEST_F(JoinTest, TargetsWithEscapedCharactersFindTheirParts) {
    DocDraft draft = mediaDoc('S', "https://s.example/");
    draft.rels["rId5"] = {"image", "media/my%20picture.png", false};
    draft.parts.clear();
    draft.parts["word/media/my picture.png"] = {"", pngBytes('S')};
    const Written out(join({write("spaced.docx", draft)}));
    const auto doc = out.document();
    const auto embeds = attributeValues(doc.document_element(), "a:blip", "r:embed");
    ASSERT_EQ(embeds.size(), 1u);
    const std::string target = out.relTarget(embeds[0]);
    EXPECT_EQ(target, "media/my%20picture.png");
    EXPECT_EQ(out.text("word/media/my picture.png"), pngBytes('S'));
}

// ------------------------------------------------------------------------------ notes

DocDraft noteDoc(const std::string& text, const std::string& url) {
    DocDraft draft;
    draft.body = "<w:p><w:r><w:t>" + text +
                 " body</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/>"
                 "</w:r></w:p>";
    draft.footnotes =
        "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p>"
        "</w:footnote><w:footnote w:type=\"continuationSeparator\" w:id=\"0\"><w:p><w:r>"
        "<w:continuationSeparator/></w:r></w:p></w:footnote><w:footnote w:id=\"1\"><w:p>"
        "<w:hyperlink r:id=\"rId1\"><w:r><w:t>" +
        text + " note</w:t></w:r></w:hyperlink></w:p></w:footnote>";
    draft.footnoteRels["rId1"] = {"hyperlink", url, true};
    draft.settings = "<w:footnotePr><w:footnote w:id=\"-1\"/><w:footnote w:id=\"0\"/>"
                     "</w:footnotePr>";
    return draft;
}

TEST_F(JoinTest, FootnotesFromTwoDocumentsKeepTheirTextsLinksAndSeparators) {
    const Written out(join({write("a.docx", noteDoc("A", "https://a.example/")),
                            write("b.docx", noteDoc("B", "https://b.example/"))}));
    const auto notes = out.xml("word/footnotes.xml");
    std::map<std::string, pugi::xml_node> byId;
    int separators = 0;
    for (auto note : notes.document_element().children("w:footnote")) {
        const std::string id = note.attribute("w:id").value();
        EXPECT_EQ(byId.count(id), 0u) << "duplicate note id " << id;
        byId[id] = note;
        separators += note.attribute("w:type") ? 1 : 0;
    }
    EXPECT_EQ(separators, 2);
    const auto doc = out.document();
    const auto refs = attributeValues(doc.document_element(), "w:footnoteReference", "w:id");
    ASSERT_EQ(refs.size(), 2u);
    const auto footRels = out.xml("word/_rels/footnotes.xml.rels");
    auto linkOf = [&](const pugi::xml_node& note) {
        const std::string id = note.child("w:p").child("w:hyperlink").attribute("r:id").value();
        for (auto rel : footRels.document_element().children()) {
            if (id == rel.attribute("Id").value()) {
                return std::string(rel.attribute("Target").value());
            }
        }
        return std::string();
    };
    ASSERT_TRUE(byId.count(refs[0]) && byId.count(refs[1]));
    EXPECT_EQ(linkOf(byId[refs[0]]), "https://a.example/");
    EXPECT_EQ(linkOf(byId[refs[1]]), "https://b.example/");
    EXPECT_STREQ(byId[refs[1]].select_node(".//w:t").node().text().get(), "B note");
    // The settings still name the separators that exist.
    const auto settings = out.xml("word/settings.xml");
    for (const auto& id :
         attributeValues(settings.document_element().child("w:footnotePr"), "w:footnote", "w:id")) {
        EXPECT_TRUE(byId.count(id)) << id;
    }
}

TEST_F(JoinTest, NoteIdsRiseWithTheirReferencesWhateverTheSourceOrder) {
    // Some word processors hand out notes by their rank among the ids, so a note list stored
    // out of order (first reference id 0, no separators, an unreferenced note) must come out
    // numbered in reading order, whether it creates the notes part or joins an existing one.
    DocDraft scrambled;
    scrambled.body = "<w:p><w:r><w:t>x</w:t></w:r><w:r><w:footnoteReference w:id=\"0\"/></w:r>"
                     "<w:r><w:footnoteReference w:id=\"7\"/></w:r></w:p><w:p><w:r>"
                     "<w:footnoteReference w:id=\"3\"/></w:r></w:p>";
    auto note = [](const char* id, const char* text) {
        return std::string("<w:footnote w:id=\"") + id + "\"><w:p><w:r><w:t>" + text +
               "</w:t></w:r></w:p></w:footnote>";
    };
    scrambled.footnotes =
        note("3", "three") + note("9", "orphan") + note("7", "two") + note("0", "one");
    const std::string first = write("scrambled.docx", scrambled);
    const Written out(join({first, write("a.docx", noteDoc("A", "https://a.example/")), first}));

    const auto notes = out.xml("word/footnotes.xml");
    std::map<std::string, std::string> textById;
    std::vector<std::string> storedOrder;
    for (auto n : notes.document_element().children("w:footnote")) {
        if (!n.attribute("w:type")) {
            const std::string id = n.attribute("w:id").value();
            textById[id] = n.select_node(".//w:t").node().text().get();
            storedOrder.push_back(id);
        }
    }
    const auto doc = out.document();
    const auto refs = attributeValues(doc.document_element(), "w:footnoteReference", "w:id");
    std::vector<std::string> texts;
    long long previous = -1;
    for (const auto& id : refs) {
        texts.push_back(textById[id]);
        EXPECT_GT(std::stoll(id), previous) << "reference ids must rise in reading order";
        previous = std::stoll(id);
    }
    EXPECT_EQ(texts,
              (std::vector<std::string>{"one", "two", "three", "A note", "one", "two", "three"}));
    // Stored in reading order too, each document's unreferenced note kept after its own notes.
    ASSERT_EQ(storedOrder.size(), 9u);
    EXPECT_EQ(textById[storedOrder[3]], "orphan");
    EXPECT_EQ(textById[storedOrder[8]], "orphan");
}

// ------------------------------------------------------------------------------ ids

TEST_F(JoinTest, IdsStayUniqueAndBookmarkReferencesFollowRenames) {
    DocDraft draft;
    draft.body =
        "<w:p w14:paraId=\"00000001\" w14:textId=\"77777777\"><w:bookmarkStart w:id=\"0\" "
        "w:name=\"Intro\"/><w:r><w:t>Intro</w:t></w:r><w:bookmarkEnd w:id=\"0\"/></w:p>"
        "<w:p w14:paraId=\"00000002\" w14:textId=\"77777777\"><w:hyperlink w:anchor=\"Intro\">"
        "<w:r><w:t>link</w:t></w:r></w:hyperlink><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
        "<w:r><w:instrText xml:space=\"preserve\"> REF Intro \\h </w:instrText></w:r><w:r>"
        "<w:fldChar w:fldCharType=\"end\"/></w:r><w:commentRangeStart w:id=\"0\"/><w:r><w:t>c"
        "</w:t></w:r><w:commentRangeEnd w:id=\"0\"/><w:r><w:commentReference w:id=\"0\"/></w:r>"
        "</w:p>" +
        pictureParagraph("rId5", 1);
    draft.rels["rId5"] = {"image", "media/image1.png", false};
    draft.parts["word/media/image1.png"] = {"", pngBytes('X')};
    draft.comments = "<w:comment w:id=\"0\" w:author=\"A\"><w:p><w:r><w:t>remark</w:t></w:r></w:p>"
                     "</w:comment>";
    const std::string path = write("ids.docx", draft);
    const Written out(join({path, path, path}));
    const auto doc = out.document();
    const auto root = doc.document_element();
    EXPECT_TRUE(allUnique(attributeValues(root, "w:bookmarkStart", "w:id")));
    const auto names = attributeValues(root, "w:bookmarkStart", "w:name");
    ASSERT_EQ(names.size(), 3u);
    EXPECT_TRUE(allUnique(names));
    EXPECT_TRUE(allUnique(attributeValues(root, "wp:docPr", "id")));
    EXPECT_TRUE(allUnique(attributeValues(root, "w:p", "w14:paraId")));
    EXPECT_TRUE(allUnique(attributeValues(root, "w:p", "w14:textId")));
    EXPECT_EQ(attributeValues(root, "w:hyperlink", "w:anchor"), names);
    std::vector<std::string> refs;
    for (auto instr : root.select_nodes("//w:instrText")) {
        std::string text = instr.node().text().get();
        refs.push_back(text.substr(5, text.find(" \\h") - 5));
    }
    EXPECT_EQ(refs, names);
    // Comments: unique ids, each reference has its comment.
    const auto comments = out.xml("word/comments.xml");
    const auto commentIds = attributeValues(comments.document_element(), "w:comment", "w:id");
    EXPECT_EQ(commentIds.size(), 3u);
    EXPECT_TRUE(allUnique(commentIds));
    auto referenced = attributeValues(root, "w:commentReference", "w:id");
    std::sort(referenced.begin(), referenced.end());
    auto defined = commentIds;
    std::sort(defined.begin(), defined.end());
    EXPECT_EQ(referenced, defined);
}

// ------------------------------------------------------------------------------ breaks

struct BreakCase {
    int entries;
    bool pageBreaks;
    int expectedBreaks;
};

class PageBreakTest : public EngineFixture, public ::testing::WithParamInterface<BreakCase> {};

TEST_P(PageBreakTest, BreaksSeparateDocumentsAndLeaveNoBlankPageAfterTheLast) {
    const BreakCase& c = GetParam();
    std::vector<std::string> inputs;
    for (int i = 0; i < c.entries; ++i) {
        DocDraft draft;
        draft.body =
            para("doc" + std::to_string(i) + " first") + para("doc" + std::to_string(i) + " last");
        inputs.push_back(write("in" + std::to_string(i) + ".docx", draft));
    }
    const Written out(join(inputs, JoinChoices{c.pageBreaks, false}));
    const auto doc = out.document();
    const auto root = doc.document_element();
    // A break the page takes is a break run, a paragraph that starts a new page, or a section
    // after the first that starts its own page.
    int breaks = 0;
    const auto sections = root.select_nodes("//w:sectPr");
    for (std::size_t i = 1; i < sections.size(); ++i) {
        const auto type = sections[i].node().child("w:type").attribute("w:val");
        breaks += !type || std::strcmp(type.value(), "continuous") != 0 ? 1 : 0;
    }
    breaks += pageBreaksUnder(root);
    EXPECT_EQ(breaks, c.expectedBreaks);
    std::vector<std::string> texts;
    for (const auto& text : out.paragraphs()) {
        if (!text.empty()) {
            texts.push_back(text);
        }
    }
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(2 * c.entries));
    for (int i = 0; i < c.entries; ++i) {
        EXPECT_EQ(texts[2 * i], "doc" + std::to_string(i) + " first");
    }
    if (c.pageBreaks && c.entries > 1) {
        // Each document after the first starts on a new page, said by its section alone.
        const auto first = paragraphWithText(root, "doc1 first");
        EXPECT_FALSE(first.child("w:pPr").child("w:pageBreakBefore"));
        EXPECT_STREQ(sections[1].node().child("w:type").attribute("w:val").value(), "nextPage");
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, PageBreakTest,
                         ::testing::Values(BreakCase{1, false, 0}, BreakCase{1, true, 1},
                                           BreakCase{2, false, 0}, BreakCase{2, true, 1},
                                           BreakCase{3, false, 0}, BreakCase{3, true, 2}),
                         [](const ::testing::TestParamInfo<BreakCase>& param) {
                             return std::to_string(param.param.entries) + "Entries" +
                                    (param.param.pageBreaks ? "WithBreaks" : "WithoutBreaks");
                         });

// ------------------------------------------------------------------------------ sections

TEST_F(JoinTest, LandscapeTurnsEverySectionOfTheJoinedDocuments) {
    DocDraft draft;
    draft.body = para("text");
    const std::string path = write("a.docx", draft);
    const Written out(join({path, path, path}, JoinChoices{false, true}));
    const auto doc = out.document();
    const auto root = doc.document_element();
    int sections = 0;
    for (auto sz : root.select_nodes("//w:pgSz")) {
        ++sections;
        EXPECT_STREQ(sz.node().attribute("w:orient").value(), "landscape");
        EXPECT_GT(sz.node().attribute("w:w").as_int(), sz.node().attribute("w:h").as_int());
    }
    EXPECT_EQ(sections, 3);
}

TEST_F(JoinTest, PortraitKeepsPortraitPages) {
    DocDraft draft;
    draft.body = para("text");
    const Written out(join({write("a.docx", draft)}));
    const auto doc = out.document();
    const auto sz = doc.select_node("//w:body/w:sectPr/w:pgSz").node();
    EXPECT_LT(sz.attribute("w:w").as_int(), sz.attribute("w:h").as_int());
    EXPECT_STREQ(sz.attribute("w:orient").value(), "portrait");
}

TEST_F(JoinTest, InnerSectionsAndHeadersTravelWithTheirDocument) {
    DocDraft withHeader;
    withHeader.body = para("first section", "<w:sectPr><w:headerReference w:type=\"default\" "
                                            "r:id=\"rIdH\"/><w:pgSz w:w=\"11906\" "
                                            "w:h=\"16838\"/></w:sectPr>") +
                      para("second section");
    withHeader.rels["rIdH"] = {"header", "header1.xml", false};
    withHeader.parts["word/header1.xml"] = {
        "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml",
        "<w:hdr" + testNamespaces() + "><w:p><w:r><w:t>Head A</w:t></w:r></w:p></w:hdr>"};
    DocDraft plain;
    plain.body = para("no header here");
    const Written out(join({write("h.docx", withHeader), write("p.docx", plain)}));
    const auto doc = out.document();
    const auto root = doc.document_element();
    const auto sectPrs = root.select_nodes("//w:sectPr");
    ASSERT_EQ(sectPrs.size(), 3u); // inner, end of the first document, final
    const auto first = sectPrs[0].node();
    const std::string headerId = first.child("w:headerReference").attribute("r:id").value();
    EXPECT_NE(out.text("word/" + out.relTarget(headerId)).find("Head A"), std::string::npos);
    // The document without headers states empty ones instead of inheriting "Head A".
    const auto last = sectPrs[2].node();
    EXPECT_STREQ(last.child("w:type").attribute("w:val").value(), "continuous");
    const auto refs = last.select_nodes("w:headerReference[@w:type='default']");
    ASSERT_EQ(refs.size(), 1u);
    const std::string empty =
        out.text("word/" + out.relTarget(refs[0].node().attribute("r:id").value()));
    EXPECT_EQ(empty.find("Head A"), std::string::npos);
}

} // namespace
} // namespace paperloom::engine::testing
