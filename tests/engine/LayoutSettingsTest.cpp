// What a join keeps of the first document's layout settings and what a later document's
// settings still decide: tab stops, hyphenation, mirrored margins, damaged settings, table styles
// against document defaults, tables across layout modes, a table that opens a document and the
// paragraph a reader starts at a page break inside one, the order of a document's styles,
// pictures in comments, and fields on lines of their own after a table of contents.
#include "EngineFixture.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace paperloom::engine::testing {
namespace {

const std::string kNormal = "<w:style w:type=\"paragraph\" w:default=\"1\" "
                            "w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style>";

class LayoutSettingsTest : public EngineFixture {
protected:
    /// Pages LibreOffice makes of own alone, joined after a leader whose paragraphs have 20 pt
    /// after them and lines of 1.15 (and before it again: joined last, the join's own closing
    /// paragraph would not fit on the page either), and joined before that leader, page breaks
    /// on. Check canRenderPdfs first.
    std::vector<int> pagesAloneAfterAndBeforeALeader(const DocDraft& own) {
        DocDraft leader;
        leader.body = para("leader") + "<w:p/>";
        leader.sectPr = kLetter;
        leader.styles = "<w:docDefaults><w:pPrDefault><w:pPr><w:spacing w:after=\"400\" "
                        "w:line=\"276\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault>"
                        "</w:docDefaults>" +
                        kNormal;
        const std::string ownPath = write("own.docx", own);
        const std::string leaderPath = write("leader.docx", leader);
        std::vector<std::string> files{ownPath};
        for (const auto& [name, inputs] : {std::pair<std::string, std::vector<std::string>>{
                                               "leaderfirst", {leaderPath, ownPath, leaderPath}},
                                           {"ownfirst", {ownPath, leaderPath}}}) {
            files.push_back((dir / (name + ".docx")).string());
            joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
        }
        EXPECT_EQ(renderPdfs(dir, files), "");
        std::vector<int> pages;
        for (const char* name : {"own", "leaderfirst", "ownfirst"}) {
            pages.push_back(pdfPages(dir / "pdf" / (std::string(name) + ".pdf")));
        }
        return pages;
    }
};

TEST_F(LayoutSettingsTest, TheFirstDocumentsLayoutSettingsHoldAndLaterOnesDoNotOverride) {
    DocDraft first;
    first.body = para("first");
    first.settings = "<w:mirrorMargins/><w:defaultTabStop w:val=\"567\"/>"
                     "<w:autoHyphenation/><w:compat><w:compatSetting w:name=\"compatibilityMode\" "
                     "w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"14\"/></w:compat>";
    first.styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\"/>"
                   "<w:sz w:val=\"40\"/></w:rPr></w:rPrDefault></w:docDefaults>"
                   "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
                   "w:val=\"Normal\"/><w:rPr><w:b/></w:rPr></w:style>";
    first.setTheme(
        "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "name=\"First\"><a:themeElements><a:fontScheme name=\"First\"><a:majorFont><a:latin "
        "typeface=\"Cambria\"/></a:majorFont><a:minorFont><a:latin typeface=\"Constantia\"/>"
        "</a:minorFont></a:fontScheme></a:themeElements></a:theme>");
    DocDraft second;
    second.body = para("second");
    second.settings = "<w:defaultTabStop w:val=\"1440\"/><w:gutterAtTop/>";
    second.styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"18\"/></w:rPr>"
                    "</w:rPrDefault></w:docDefaults>";
    const Written out(
        join({write("first.docx", first), write("second.docx", second)}, JoinChoices{true, false}));
    const auto settings = out.xml("word/settings.xml");
    const auto root = settings.document_element();
    EXPECT_TRUE(root.child("w:mirrorMargins"));
    EXPECT_TRUE(root.child("w:autoHyphenation"));
    EXPECT_FALSE(root.child("w:gutterAtTop"));
    EXPECT_EQ(root.child("w:defaultTabStop").attribute("w:val").as_int(), 567);
    // The first document's layout mode holds for the documents after it.
    EXPECT_STREQ(root.child("w:compat").child("w:compatSetting").attribute("w:val").value(), "14");
    const auto styles = out.xml("word/styles.xml");
    EXPECT_EQ(styles.select_node("//w:docDefaults/w:rPrDefault/w:rPr/w:sz")
                  .node()
                  .attribute("w:val")
                  .as_int(),
              40);
    // Its styles are the joined document's own: its default style keeps its id and stays default.
    EXPECT_FALSE(out.document().select_node("//w:p[.//w:t='first']/w:pPr/w:pStyle"));
    const auto normal =
        styles.select_node("//w:style[@w:type='paragraph' and @w:default='1']").node();
    EXPECT_STREQ(normal.attribute("w:styleId").value(), "Normal");
    EXPECT_TRUE(normal.child("w:rPr").child("w:b"));
    // The defaults keep naming the theme, which is now the first document's.
    EXPECT_TRUE(styles.select_node("//w:docDefaults//w:rFonts/@w:asciiTheme"));
    bool firstTheme = false;
    for (const auto& [name, data] : out.package().parts) {
        firstTheme = firstTheme || (name.rfind("word/theme/", 0) == 0 &&
                                    out.text(name).find("Constantia") != std::string::npos);
    }
    EXPECT_TRUE(firstTheme);
    // Schema order: mirrorMargins before defaultTabStop before autoHyphenation.
    std::vector<std::string> order;
    for (auto child : root.children()) {
        order.push_back(child.name());
    }
    const auto at = [&](const char* name) {
        return std::find(order.begin(), order.end(), name) - order.begin();
    };
    EXPECT_LT(at("w:mirrorMargins"), at("w:defaultTabStop"));
    EXPECT_LT(at("w:defaultTabStop"), at("w:autoHyphenation"));
}

TEST_F(LayoutSettingsTest, DamagedSettingsCostTheSettingsNotTheDocument) {
    DocDraft damaged;
    damaged.body = para("still here");
    damaged.settings = "<w:evenAndOddHeaders><w:zoom"; // not well-formed
    DocDraft plain;
    plain.body = para("plain");
    for (const bool first : {true, false}) {
        const std::vector<std::string> inputs =
            first
                ? std::vector<std::string>{write("damaged.docx", damaged), write("p.docx", plain)}
                : std::vector<std::string>{write("p.docx", plain), write("damaged.docx", damaged)};
        const Written out(join(inputs, JoinChoices{true, false}));
        const auto texts = out.paragraphs();
        EXPECT_NE(std::find(texts.begin(), texts.end(), "still here"), texts.end()) << first;
        EXPECT_FALSE(out.xml("word/settings.xml").document_element().child("w:evenAndOddHeaders"));
    }
}

TEST_F(LayoutSettingsTest, TableStylesStillOutrankTheDefaultsOfALaterDocument) {
    DocDraft first; // defaults without paragraph spacing
    first.body = para("first");
    first.styles = "<w:docDefaults><w:pPrDefault/></w:docDefaults>";
    DocDraft later; // defaults with spacing, which a table style takes back in its cells
    later.styles =
        "<w:docDefaults><w:pPrDefault><w:pPr><w:spacing w:after=\"160\" w:line=\"259\" "
        "w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>"
        "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
        "w:val=\"Normal\"/></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Spaced\"><w:name w:val=\"Spaced\"/>"
        "<w:pPr><w:spacing w:after=\"400\"/></w:pPr></w:style>"
        "<w:style w:type=\"table\" w:styleId=\"Grid\"><w:name w:val=\"Grid\"/><w:pPr>"
        "<w:spacing w:after=\"0\" w:line=\"240\" w:lineRule=\"auto\"/></w:pPr></w:style>";
    const std::string cell = "<w:tc><w:tcPr><w:tcW w:w=\"2000\" w:type=\"dxa\"/></w:tcPr>%</w:tc>";
    auto inCell = [&](const std::string& content) {
        std::string text = cell;
        text.replace(text.find('%'), 1, content);
        return text;
    };
    later.body =
        para("outside") +
        "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/></w:tblPr><w:tblGrid><w:gridCol "
        "w:w=\"2000\"/><w:gridCol w:w=\"2000\"/></w:tblGrid><w:tr>" +
        inCell(para("plain cell")) + inCell(para("own spacing", "<w:pStyle w:val=\"Spaced\"/>")) +
        "</w:tr><w:tr>" +
        inCell("<w:sdt><w:sdtContent>" + para("controlled cell") + "</w:sdtContent></w:sdt>") +
        inCell(para("beside")) + "</w:tr></w:tbl>" + para("after");
    const Written out(
        join({write("first.docx", first), write("later.docx", later)}, JoinChoices{true, false}));
    const auto doc = out.document();
    auto spacingOf = [&](const char* text) {
        for (const auto& hit : doc.select_nodes("//w:p")) {
            std::string content;
            for (const auto& t : hit.node().select_nodes(".//w:t")) {
                content += t.node().text().get();
            }
            if (content == text) {
                return hit.node().child("w:pPr").child("w:spacing");
            }
        }
        return pugi::xml_node();
    };
    ASSERT_TRUE(spacingOf("plain cell"));
    EXPECT_STREQ(spacingOf("plain cell").attribute("w:after").value(), "0");
    EXPECT_STREQ(spacingOf("plain cell").attribute("w:line").value(), "240");
    ASSERT_TRUE(spacingOf("controlled cell")); // a content control in the cell changes nothing
    EXPECT_STREQ(spacingOf("controlled cell").attribute("w:after").value(), "0");
    // Its style sets the space after but leaves the line height to the table style.
    ASSERT_TRUE(spacingOf("own spacing"));
    EXPECT_FALSE(spacingOf("own spacing").attribute("w:after"));
    EXPECT_STREQ(spacingOf("own spacing").attribute("w:line").value(), "240");
    EXPECT_FALSE(spacingOf("outside"));
}

std::string compatMode(int mode) {
    return "<w:compat><w:compatSetting w:name=\"compatibilityMode\" "
           "w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"" +
           std::to_string(mode) + "\"/></w:compat>";
}

TEST_F(LayoutSettingsTest, TablesStayInPlaceAcrossLayoutModes) {
    const std::string grid =
        "<w:tblGrid><w:gridCol w:w=\"2000\"/></w:tblGrid><w:tr><w:tc><w:p><w:r>"
        "<w:t>cell</w:t></w:r></w:p></w:tc></w:tr></w:tbl>";
    DocDraft tables;
    tables.body = "<w:tbl><w:tblPr><w:tblCaption w:val=\"plain\"/></w:tblPr>" + grid +
                  "<w:tbl><w:tblPr><w:tblInd w:w=\"200\" w:type=\"dxa\"/><w:tblCellMar><w:left "
                  "w:w=\"150\" w:type=\"dxa\"/></w:tblCellMar><w:tblCaption w:val=\"indented\"/>"
                  "</w:tblPr>" +
                  grid +
                  "<w:tbl><w:tblPr><w:jc w:val=\"center\"/><w:tblCaption w:val=\"centred\"/>"
                  "</w:tblPr>" +
                  grid +
                  "<w:tbl><w:tblPr><w:tblpPr w:tblpY=\"300\"/><w:tblCaption w:val=\"floating\"/>"
                  "</w:tblPr>" +
                  grid +
                  "<w:tbl><w:tblPr><w:tblBorders><w:left w:val=\"single\" w:sz=\"12\"/>"
                  "</w:tblBorders><w:tblCaption w:val=\"bordered\"/></w:tblPr>" +
                  grid +
                  "<w:tbl><w:tblPr><w:tblBorders><w:left w:val=\"nil\" w:sz=\"12\"/>"
                  "</w:tblBorders><w:tblCaption w:val=\"unbordered\"/></w:tblPr>" +
                  grid +
                  // No cell margin: the first cell's border of 18 eighths moves it by itself.
                  "<w:tbl><w:tblPr><w:tblCellMar><w:left w:w=\"0\" w:type=\"dxa\"/>"
                  "</w:tblCellMar><w:tblCaption w:val=\"cell border\"/></w:tblPr><w:tblGrid>"
                  "<w:gridCol w:w=\"2000\"/></w:tblGrid><w:tr><w:tc><w:tcPr><w:tcBorders><w:left "
                  "w:val=\"single\" w:sz=\"18\"/></w:tcBorders></w:tcPr>" +
                  para("cell") + "</w:tc></w:tr></w:tbl>" +
                  "<w:sdt><w:sdtContent><w:tbl><w:tblPr><w:tblCaption w:val=\"controlled\"/>"
                  "</w:tblPr>" +
                  grid + "</w:sdtContent></w:sdt>" + para("end");
    tables.sectPr = "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rIdH\"/><w:pgSz "
                    "w:w=\"11906\" w:h=\"16838\"/></w:sectPr>";
    tables.rels["rIdH"] = {"header", "header1.xml", false};
    tables.parts["word/header1.xml"] = {
        "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml",
        "<w:hdr" + testNamespaces() +
            "><w:tbl><w:tblPr><w:tblCaption w:val=\"header\"/></w:tblPr>" + grid + para("") +
            "</w:hdr>"};
    // The joined document takes the layout mode of the documents holding most of the text: the
    // plain ones hold more than the tables.
    DocDraft modern;
    modern.body = para("modern " + std::string(12000, 'm'));
    modern.settings = compatMode(15);
    DocDraft older;
    older.body = para("older " + std::string(12000, 'o'));
    older.settings = compatMode(14);

    auto indents = [](const Written& out) {
        std::map<std::string, std::string> found;
        for (const auto& [name, data] : out.package().parts) {
            if (name != "word/document.xml" && name.find("word/header") != 0) {
                continue;
            }
            const auto doc = out.xml(name);
            for (const auto& hit : doc.select_nodes("//w:tblPr")) {
                const auto tblPr = hit.node();
                const auto ind = tblPr.child("w:tblInd");
                found[tblPr.child("w:tblCaption").attribute("w:val").value()] =
                    ind ? ind.attribute("w:w").value() : "-";
            }
        }
        return found;
    };
    // Written for Word 2013 and later, joined after an older document: indents grow by the
    // left cell margin (at least half the border) and half the left border (12 eighths of a
    // point: 15 twips), as LibreOffice places the text of the first cell; centred and
    // floating tables stay as they are.
    tables.settings = compatMode(15);
    const std::string modernTables = write("modern-tables.docx", tables);
    const std::map<std::string, std::string> grown = {
        {"plain", "108"},      {"indented", "350"}, {"centred", "-"},
        {"floating", "-"},     {"bordered", "123"}, {"unbordered", "108"},
        {"controlled", "108"}, {"header", "108"},   {"cell border", "45"}};
    EXPECT_EQ(indents(Written(join({write("older.docx", older), modernTables}))), grown);
    // The other way round they shrink; in the same mode nothing changes.
    tables.settings = compatMode(14);
    const std::string olderTables = write("older-tables.docx", tables);
    const std::map<std::string, std::string> shrunk = {
        {"plain", "-108"},      {"indented", "50"},   {"centred", "-"},
        {"floating", "-"},      {"bordered", "-123"}, {"unbordered", "-108"},
        {"controlled", "-108"}, {"header", "-108"},   {"cell border", "-45"}};
    EXPECT_EQ(indents(Written(join({write("modern.docx", modern), olderTables}))), shrunk);
    const std::map<std::string, std::string> same = {
        {"plain", "-"},      {"indented", "200"}, {"centred", "-"},
        {"floating", "-"},   {"bordered", "-"},   {"unbordered", "-"},
        {"controlled", "-"}, {"header", "-"},     {"cell border", "-"}};
    EXPECT_EQ(indents(Written(join({write("older.docx", older), olderTables}))), same);
    // Leading a list held mostly in the other mode, the first document's tables move as well.
    const Written led(join({olderTables, write("modern.docx", modern)}));
    EXPECT_EQ(indents(led), shrunk);
    const auto settings = led.xml("word/settings.xml");
    EXPECT_STREQ(settings.select_node("//w:compatSetting[@w:name='compatibilityMode']/@w:val")
                     .attribute()
                     .value(),
                 "15");
}

TEST_F(LayoutSettingsTest, TheLayoutModeOfMostOfTheTextHoldsWhicheverDocumentComesFirst) {
    // Before Word 2013's layout mode, LibreOffice keeps text after a tab stop past the right
    // margin on its line; in that mode the text goes to the next line. The mode is one for the
    // whole document, so the documents that hold most of the text keep theirs in either order.
    DocDraft older;
    older.body = "<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"9800\"/></w:tabs></w:pPr>"
                 "<w:r><w:t>lead</w:t></w:r><w:r><w:tab/><w:t>over</w:t></w:r></w:p>" +
                 para("below");
    for (int i = 0; i < 30; ++i) {
        older.body += para("more text of the older document, line " + std::to_string(i));
    }
    older.settings = compatMode(14);
    older.sectPr = kLetter;
    DocDraft modern;
    modern.body = para("modern");
    modern.settings = compatMode(15);
    modern.sectPr = kLetter;
    const std::string olderPath = write("older.docx", older);
    const std::string modernPath = write("modern.docx", modern);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(olderPath, modernPath, "below");
}

TEST_F(LayoutSettingsTest, LibreOfficeKeepsATableWithACommentThatOpensALaterDocumentInPlace) {
    // LibreOffice opens a section that begins with a table holding a comment with an empty
    // paragraph: alone, one of the document's own default style (a line of 11.5 pt); joined, a
    // copy of the paragraph that ends the section before (here 20 pt after a line of 1.15).
    // 21 lines of 30 pt, the first in the table, fill 630 of the 648 pt of a Letter page: the
    // larger paragraph would push the last line over.
    const std::string line = "<w:spacing w:line=\"600\" w:lineRule=\"exact\"/>";
    DocDraft table;
    table.body = "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid>"
                 "<w:gridCol w:w=\"4000\"/></w:tblGrid><w:tr><w:tc><w:tcPr><w:tcW w:w=\"4000\" "
                 "w:type=\"dxa\"/></w:tcPr><w:p><w:pPr>" +
                 line +
                 "</w:pPr><w:commentRangeStart w:id=\"0\"/><w:r><w:t>cell</w:t></w:r>"
                 "<w:commentRangeEnd w:id=\"0\"/><w:r><w:commentReference w:id=\"0\"/></w:r>"
                 "</w:p></w:tc></w:tr></w:tbl>";
    for (int i = 0; i < 20; ++i) {
        table.body += para("line " + std::to_string(i), line);
    }
    table.comments = "<w:comment w:id=\"0\" w:author=\"A\"><w:p><w:r><w:t>remark</w:t></w:r>"
                     "</w:p></w:comment>";
    table.sectPr = kLetter;
    table.styles = kNormal;
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    EXPECT_EQ(pagesAloneAfterAndBeforeALeader(table), (std::vector<int>{1, 3, 2}));
}

TEST_F(LayoutSettingsTest, APictureInALaterDocumentsCommentLeavesTheFirstPageAlone) {
    // LibreOffice lays a VML picture of a comment out at the start of the document's first
    // paragraph, as a character: pasted after another document, a tall one pushed that
    // document's first line down (here to the next page).
    DocDraft inked;
    inked.body = "<w:p><w:commentRangeStart w:id=\"0\"/><w:r><w:t>inked</w:t></w:r>"
                 "<w:commentRangeEnd w:id=\"0\"/><w:r><w:commentReference w:id=\"0\"/></w:r>"
                 "</w:p>";
    inked.comments = "<w:comment w:id=\"0\" w:author=\"A\"><w:p><w:r><w:pict><v:rect "
                     "style=\"width:200pt;height:500pt\" fillcolor=\"black\"/></w:pict></w:r>"
                     "</w:p></w:comment>";
    inked.sectPr = kLetter;
    DocDraft plain;
    plain.body = para("opening");
    plain.sectPr = kLetter;
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(write("plain.docx", plain), write("inked.docx", inked), "opening");
}

TEST_F(LayoutSettingsTest, LibreOfficeKeepsTheTableStylesLineHeightUnderAStyleSettingOnlySpace) {
    // Cells of a style that sets only the space after take their line height from the table
    // style (single lines) over the document defaults (lines of 1.5): 44 lines of 12 pt fill
    // 610 of the 648 pt of a Letter page, and would take two pages at 1.5 lines.
    DocDraft table;
    table.styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"24\"/></w:rPr>"
                   "</w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"0\" "
                   "w:line=\"360\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>" +
                   kNormal +
                   "<w:style w:type=\"paragraph\" w:styleId=\"Tight\"><w:name w:val=\"Tight\"/>"
                   "<w:basedOn w:val=\"Normal\"/><w:pPr><w:spacing w:after=\"0\"/></w:pPr>"
                   "</w:style><w:style w:type=\"table\" w:styleId=\"Grid\"><w:name "
                   "w:val=\"Grid\"/><w:pPr><w:spacing w:line=\"240\" w:lineRule=\"auto\"/>"
                   "</w:pPr></w:style>";
    table.body = "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/></w:tblPr><w:tblGrid><w:gridCol "
                 "w:w=\"4000\"/></w:tblGrid>";
    for (int i = 0; i < 44; ++i) {
        table.body += "<w:tr><w:tc><w:tcPr><w:tcW w:w=\"4000\" w:type=\"dxa\"/></w:tcPr>" +
                      para("row " + std::to_string(i), "<w:pStyle w:val=\"Tight\"/>") +
                      "</w:tc></w:tr>";
    }
    table.body += "</w:tbl>";
    table.sectPr = kLetter;
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    EXPECT_EQ(pagesAloneAfterAndBeforeALeader(table), (std::vector<int>{1, 3, 2}));
}

TEST_F(LayoutSettingsTest, AFloatingTablePlacedFromTheTextThatOpensALaterDocumentStaysWhereItWas) {
    // LibreOffice makes a frame of a narrow floating table and places it from the paragraph
    // after it; the point-high paragraph a join puts before the table would move it down.
    DocDraft framed;
    framed.body = "<w:tbl><w:tblPr><w:tblpPr w:leftFromText=\"187\" w:rightFromText=\"187\" "
                  "w:vertAnchor=\"text\" w:horzAnchor=\"page\" w:tblpXSpec=\"center\" "
                  "w:tblpY=\"1\"/><w:tblW w:w=\"2800\" w:type=\"dxa\"/></w:tblPr><w:tblGrid>"
                  "<w:gridCol w:w=\"2800\"/></w:tblGrid><w:tr><w:tc>" +
                  para("framed") + "</w:tc></w:tr></w:tbl>" + para("beside");
    expectWordWhereItStandsBesideAPlainOne(framed, "framed");
}

TEST_F(LayoutSettingsTest, LibreOfficeGoesOnAfterABreakInAParagraphInItsOwnDocumentsStyle) {
    // LibreOffice ends a paragraph at a page break that follows its text, or that a shape
    // follows, and lays out the rest in the default paragraph style: alone, the document's own
    // (no space after); joined after the leader, the leader's (20 pt after). Lines of 30 pt fill
    // the 648 pt of a Letter page but for less than 20 pt: the rest's 30 pt line with the
    // paragraph's own properties and 20 more, or, after a shape, its line of the default style
    // alone (under 13 pt) and 21 more.
    const std::string line = "<w:spacing w:line=\"600\" w:lineRule=\"exact\"/>";
    const std::string shape =
        "<mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wp:anchor distT=\"0\" "
        "distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" relativeHeight=\"1\" "
        "behindDoc=\"0\" locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\"><wp:simplePos "
        "x=\"0\" y=\"0\"/><wp:positionH relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset>"
        "</wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset>"
        "</wp:positionV><wp:extent cx=\"914400\" cy=\"91440\"/><wp:wrapNone/><wp:docPr "
        "id=\"1\" name=\"Bar\"/><a:graphic><a:graphicData uri=\"http://schemas.microsoft.com/"
        "office/word/2010/wordprocessingShape\"><wps:wsp><wps:spPr><a:prstGeom prst=\"rect\"/>"
        "</wps:spPr><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing>"
        "</mc:Choice></mc:AlternateContent>";
    const std::vector<std::pair<std::string, int>> brokenParagraphs{
        {"<w:p><w:pPr>" + line +
             "</w:pPr><w:r><w:t>intro</w:t><w:br w:type=\"page\"/><w:t>rest</w:t></w:r></w:p>",
         20},
        {para("intro", line) + "<w:p><w:pPr>" + line +
             "</w:pPr><w:r><w:br w:type=\"page\"/></w:r><w:r>" + shape + "</w:r></w:p>",
         21}};
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    for (const auto& [brokenParagraph, lines] : brokenParagraphs) {
        DocDraft broken;
        broken.body = brokenParagraph;
        for (int i = 0; i < lines; ++i) {
            broken.body += para("line " + std::to_string(i), line);
        }
        broken.sectPr = kLetter;
        broken.styles = kNormal;
        EXPECT_EQ(pagesAloneAfterAndBeforeALeader(broken), (std::vector<int>{2, 4, 3}))
            << brokenParagraph;
    }
}

TEST_F(LayoutSettingsTest, LibreOfficeKeepsTheSpacingOfAStyleWrittenBeforeItsParentEitherWay) {
    // LibreOffice takes the spacing a style states whole where its basedOn style comes after it
    // in the styles part: "Late" keeps 5 pt after but not its parent's 100 pt before. Joined
    // after another document, it must still come before its parent, also where that document
    // has a "Late" of its own and ours is renamed (a letter's date paragraph moved down so).
    const std::string normal = "<w:style w:type=\"paragraph\" w:default=\"1\" "
                               "w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style>";
    DocDraft early;
    early.body = para("opening") + para("styled", "<w:pStyle w:val=\"Late\"/>");
    early.styles = normal +
                   "<w:style w:type=\"paragraph\" w:styleId=\"Late\"><w:name w:val=\"Late\"/>"
                   "<w:basedOn w:val=\"Parent\"/><w:pPr><w:spacing w:after=\"100\"/></w:pPr>"
                   "</w:style><w:style w:type=\"paragraph\" w:styleId=\"Parent\"><w:name "
                   "w:val=\"Parent\"/><w:pPr><w:spacing w:before=\"2000\"/></w:pPr></w:style>";
    DocDraft plain;
    plain.body = para("plain");
    plain.styles = kNormal;
    DocDraft namesake = plain;
    namesake.styles += "<w:style w:type=\"paragraph\" w:styleId=\"Late\"><w:name "
                       "w:val=\"Late\"/><w:pPr><w:spacing w:after=\"400\"/></w:pPr></w:style>";
    const std::string earlyPath = write("early.docx", early);
    const std::vector<std::string> others{write("plain.docx", plain),
                                          write("namesake.docx", namesake)};
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    for (const auto& other : others) {
        SCOPED_TRACE(other);
        expectWordWhereItStandsAlone(earlyPath, other, "styled");
    }
}

TEST_F(LayoutSettingsTest, AFieldOnALineOfItsOwnKeepsItsSizeAfterATableOfContents) {
    // LibreOffice shows a field that is all its paragraph holds in the paragraph's formatting,
    // not its runs', once a table of contents came before it in the document: joined after one,
    // an 18 pt author line took 10 pt and the line below it went up.
    const std::string big = "<w:rPr><w:b/><w:sz w:val=\"36\"/></w:rPr>";
    DocDraft fields;
    fields.body = "<w:p><w:r>" + big + "<w:fldChar w:fldCharType=\"begin\"/></w:r><w:r>" + big +
                  "<w:instrText xml:space=\"preserve\"> AUTHOR Someone </w:instrText></w:r><w:r>" +
                  big + "<w:fldChar w:fldCharType=\"separate\"/></w:r><w:r>" + big +
                  "<w:t>Someone</w:t></w:r><w:r>" + big +
                  "<w:fldChar w:fldCharType=\"end\"/></w:r></w:p>" + para("below");
    fields.styles = kNormal;
    DocDraft contents;
    contents.body = "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText "
                    "xml:space=\"preserve\"> TOC \\o </w:instrText></w:r><w:r><w:fldChar "
                    "w:fldCharType=\"separate\"/></w:r><w:r><w:t>Contents</w:t></w:r></w:p>"
                    "<w:p><w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>";
    contents.styles = kNormal;
    const std::string fieldsPath = write("fields.docx", fields);
    const std::string contentsPath = write("contents.docx", contents);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(fieldsPath, contentsPath, "below");
}

TEST_F(LayoutSettingsTest, FieldsKeepTheirOwnLookWhereTheDocumentAloneLosesIt) {
    // After its own table of contents a document shows such fields without their runs'
    // formatting alone too, and the first document is read without any before it: both stay as
    // they are, and only a later document's fields before its own table name a style.
    const auto field = [](const std::string& text) {
        const std::string big = "<w:rPr><w:sz w:val=\"36\"/></w:rPr>";
        return "<w:p><w:r>" + big + "<w:fldChar w:fldCharType=\"begin\"/></w:r><w:r>" + big +
               "<w:instrText> AUTHOR </w:instrText></w:r><w:r>" + big +
               "<w:fldChar w:fldCharType=\"separate\"/></w:r><w:r>" + big + "<w:t>" + text +
               "</w:t></w:r><w:r>" + big + "<w:fldChar w:fldCharType=\"end\"/></w:r></w:p>";
    };
    const std::string contents =
        "<w:p><w:fldSimple w:instr=\" TOC \\o \"><w:r><w:t>Contents</w:t></w:r></w:fldSimple>"
        "</w:p>";
    DocDraft fields;
    fields.body = field("before") + contents + field("after");
    fields.styles = kNormal;
    const std::string fieldsPath = write("fields.docx", fields);
    const auto styled = [](const Written& joined) {
        std::vector<std::string> out;
        const auto doc = joined.document();
        for (const auto& run : elements(doc.document_element(), "w:r")) {
            if (run.child("w:t") && run.child("w:rPr").child("w:rStyle")) {
                out.push_back(run.child("w:t").text().get());
            }
        }
        return out;
    };
    EXPECT_EQ(styled(Written(join({fieldsPath, fieldsPath}))), std::vector<std::string>{"before"});
}

} // namespace
} // namespace paperloom::engine::testing
