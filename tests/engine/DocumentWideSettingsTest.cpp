// What each document keeps of its document-wide settings when another document leads: document
// defaults, default tab stops, theme colours of shapes, theme font languages and the gutter.
#include "EngineFixture.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace paperloom::engine::testing {
namespace {

using DocumentWideSettingsTest = EngineFixture;

/// What an attribute of a paragraph's or run's property is once its style chain and the
/// document defaults are applied ("" when nothing sets it): the way a reader resolves it.
class StyleResolver {
public:
    explicit StyleResolver(const Written& out) : m_styles(out.xml("word/styles.xml")) {}

    std::string paragraphValue(const pugi::xml_node& paragraph, const char* container,
                               const char* element, const char* attribute) const {
        if (auto direct = paragraph.child("w:pPr").child(element).attribute(attribute);
            direct && std::strcmp(container, "w:pPr") == 0) {
            return direct.value();
        }
        std::string id = paragraph.child("w:pPr").child("w:pStyle").attribute("w:val").value();
        if (id.empty()) {
            id = m_styles.select_node("//w:style[@w:type='paragraph' and @w:default='1']")
                     .node()
                     .attribute("w:styleId")
                     .value();
        }
        for (int depth = 0; depth < 16 && !id.empty(); ++depth) {
            const auto style =
                m_styles.select_node(("//w:style[@w:styleId='" + id + "']").c_str()).node();
            if (const auto value = style.child(container).child(element).attribute(attribute)) {
                return value.value();
            }
            id = style.child("w:basedOn").attribute("w:val").value();
        }
        const char* defaults =
            std::strcmp(container, "w:pPr") == 0 ? "w:pPrDefault" : "w:rPrDefault";
        return m_styles.document_element()
            .child("w:docDefaults")
            .child(defaults)
            .child(container)
            .child(element)
            .attribute(attribute)
            .value();
    }

private:
    pugi::xml_document m_styles;
};

const std::string kLeaderDefaults =
    "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Liberation Sans\" "
    "w:hAnsi=\"Liberation Sans\"/><w:kern w:val=\"2\"/><w:sz w:val=\"22\"/></w:rPr>"
    "</w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:before=\"120\" w:after=\"160\" "
    "w:line=\"259\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>";
const std::string kNormal = "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
                            "<w:name w:val=\"Normal\"/></w:style>";

/// An A4 page with 9026 twips of text between its margins, then what else the section has.
std::string a4Section(const std::string& more = "", int sideMargins = 1440) {
    const std::string side = std::to_string(sideMargins);
    return "<w:sectPr>" + more +
           "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"" + side +
           "\" w:bottom=\"1440\" w:left=\"" + side +
           "\" w:header=\"708\" w:footer=\"708\" "
           "w:gutter=\"0\"/></w:sectPr>";
}

// ------------------------------------------------------------------------ document defaults

TEST_F(DocumentWideSettingsTest, DocumentsWithoutDefaultsKeepTheFormatsDefaultsAfterALeader) {
    DocDraft leader;
    leader.body = para("leader");
    leader.styles = kLeaderDefaults + kNormal;
    DocDraft noDefaults; // a styles part, a default style, no document defaults
    noDefaults.body = para("no defaults");
    noDefaults.styles = kNormal;
    DocDraft noStyles; // no styles part at all
    noStyles.body = para("no styles");
    DocDraft noDefaultStyle; // defaults of its own but no default paragraph style
    noDefaultStyle.body = para("no default style");
    noDefaultStyle.styles =
        "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"28\"/></w:rPr></w:rPrDefault>"
        "</w:docDefaults><w:style w:type=\"paragraph\" w:styleId=\"Other\"><w:name "
        "w:val=\"Other\"/></w:style>";
    DocDraft ownSpacing; // a default style that sets part of the spacing its defaults complete
    ownSpacing.body = para("own spacing");
    ownSpacing.styles = "<w:docDefaults><w:pPrDefault><w:pPr><w:spacing w:after=\"200\" "
                        "w:line=\"276\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault>"
                        "</w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" "
                        "w:styleId=\"Normal\"><w:name w:val=\"Normal\"/><w:pPr><w:spacing "
                        "w:after=\"0\"/></w:pPr></w:style>";

    const Written out(
        join({write("leader.docx", leader), write("a.docx", noDefaults), write("b.docx", noStyles),
              write("c.docx", noDefaultStyle), write("d.docx", ownSpacing)}));
    const StyleResolver styles(out);
    const auto doc = out.document();
    struct Expected {
        const char* text;
        const char* size;
        const char* kern;
        const char* font;
        const char* before;
        const char* after;
        const char* line;
    };
    for (const auto& expected :
         {Expected{"leader", "22", "2", "Liberation Sans", "120", "160", "259"},
          Expected{"no defaults", "20", "0", "Times New Roman", "0", "0", "240"},
          Expected{"no styles", "20", "0", "Times New Roman", "0", "0", "240"},
          Expected{"no default style", "28", "0", "Times New Roman", "0", "0", "240"},
          Expected{"own spacing", "20", "0", "Times New Roman", "0", "0", "276"}}) {
        const auto paragraph = paragraphWithText(doc, expected.text);
        ASSERT_TRUE(paragraph) << expected.text;
        auto value = [&](const char* container, const char* element, const char* attribute) {
            return styles.paragraphValue(paragraph, container, element, attribute);
        };
        EXPECT_EQ(value("w:rPr", "w:sz", "w:val"), expected.size) << expected.text;
        EXPECT_EQ(value("w:rPr", "w:kern", "w:val"), expected.kern) << expected.text;
        EXPECT_EQ(value("w:rPr", "w:rFonts", "w:ascii"), expected.font) << expected.text;
        EXPECT_EQ(value("w:pPr", "w:spacing", "w:before"), expected.before) << expected.text;
        EXPECT_EQ(value("w:pPr", "w:spacing", "w:after"), expected.after) << expected.text;
        EXPECT_EQ(value("w:pPr", "w:spacing", "w:line"), expected.line) << expected.text;
    }
}

TEST_F(DocumentWideSettingsTest, LibreOfficeKeepsTheLengthOfADocumentWithoutStylesEitherWay) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // 45 short paragraphs fill one page at 10 pt on single lines, three at the leader's 12 pt
    // on one and a half lines with 12 pt after each.
    DocDraft leader;
    leader.body = para("leader");
    leader.styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"24\"/></w:rPr>"
                    "</w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"240\" "
                    "w:line=\"360\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault>"
                    "</w:docDefaults>" +
                    kNormal;
    DocDraft plain; // no styles part: the format's defaults
    plain.body.clear();
    for (int i = 0; i < 45; ++i) {
        plain.body += para("line " + std::to_string(i));
    }
    const std::string leaderPath = write("leader.docx", leader);
    const std::string plainPath = write("plain.docx", plain);
    expectPagesEitherWay(plainPath, 1, leaderPath, 0, 2);
}

TEST_F(DocumentWideSettingsTest, LibreOfficeKeepsTheTextSizeATableStyleGivesEitherWay) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // 40 rows at the table style's 10 pt fill one page, two at the large document's 20 pt
    // defaults: the table style outranks the defaults, though not a paragraph style.
    const std::string rows = oneCellRows(40, 4000, "row");
    const std::string grid = "<w:style w:type=\"table\" w:styleId=\"Grid\"><w:name w:val=\"Grid\"/>"
                             "<w:rPr><w:sz w:val=\"20\"/></w:rPr></w:style>";
    DocDraft small;
    small.styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"20\"/></w:rPr>"
                   "</w:rPrDefault></w:docDefaults>" +
                   kNormal + grid;
    small.body = "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/></w:tblPr><w:tblGrid><w:gridCol "
                 "w:w=\"4000\"/></w:tblGrid>" +
                 rows + "</w:tbl>" + para("");
    small.sectPr = a4Section();
    DocDraft large = small;
    large.styles.replace(large.styles.find("w:val=\"20\""), 10, "w:val=\"40\"");
    const std::string smallPath = write("small.docx", small);
    const std::string largePath = write("large.docx", large);
    expectPagesEitherWay(smallPath, 1, largePath, 1, 2);
}

TEST_F(DocumentWideSettingsTest, LibreOfficeKeepsTableTextThatATableStyleShrinksEitherWay) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // A table naming a style outranks a default paragraph style of 12 pt: 53 rows at the
    // defaults' 10 pt fill one page alone, but not at 12 pt under a renamed default style.
    const std::string rows = oneCellRows(53, 4000, "row");
    DocDraft agenda;
    agenda.styles = "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
                    "<w:name w:val=\"Normal\"/><w:rPr><w:sz w:val=\"24\"/></w:rPr></w:style>"
                    "<w:style w:type=\"table\" w:styleId=\"Grid\"><w:name w:val=\"Grid\"/>"
                    "</w:style>";
    agenda.body = "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/></w:tblPr><w:tblGrid><w:gridCol "
                  "w:w=\"4000\"/></w:tblGrid>" +
                  rows + "</w:tbl>" + para("");
    agenda.sectPr = a4Section();
    DocDraft leader;
    leader.styles = kLeaderDefaults + kNormal;
    leader.body = para("leader");
    const std::string agendaPath = write("agenda.docx", agenda);
    const std::string leaderPath = write("leader.docx", leader);
    expectPagesEitherWay(agendaPath, 1, leaderPath, 0, 2);
}

// -------------------------------------------------------------------- theme shape styles

/// A document with one shape (wps:spPr and wps:style children given) and a theme whose accent1
/// is 112233, with one fill style (solid) and two line styles (6350 and 12700 EMU).
DocDraft themedShape(const std::string& spPr, const std::string& style = "") {
    DocDraft themed;
    themed.body = "<w:p><w:r><w:drawing><wp:anchor><wp:docPr id=\"1\" name=\"Shape\"/><a:graphic>"
                  "<a:graphicData><wps:wsp><wps:spPr>" +
                  spPr + "</wps:spPr>" + style +
                  "</wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p>";
    themed.setTheme(
        "<t:theme xmlns:t=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"T\">"
        "<t:themeElements><t:clrScheme name=\"T\"><t:dk1><t:sysClr val=\"windowText\" "
        "lastClr=\"000000\"/></t:dk1><t:lt1><t:srgbClr val=\"FFFFFF\"/></t:lt1><t:accent1>"
        "<t:srgbClr val=\"112233\"/></t:accent1></t:clrScheme><t:fmtScheme name=\"T\">"
        "<t:fillStyleLst><t:solidFill><t:schemeClr val=\"phClr\"/></t:solidFill></t:fillStyleLst>"
        "<t:lnStyleLst><t:ln w=\"6350\"/><t:ln w=\"12700\"><t:solidFill><t:schemeClr "
        "val=\"phClr\"><t:tint val=\"90000\"/></t:schemeClr></t:solidFill></t:ln></t:lnStyleLst>"
        "</t:fmtScheme></t:themeElements></t:theme>");
    return themed;
}

TEST_F(DocumentWideSettingsTest, ShapesOfALaterDocumentStateTheFillAndLineTheirStyleNames) {
    const std::string style = "<wps:style><a:lnRef idx=\"2\"><a:schemeClr val=\"accent1\">"
                              "<a:shade val=\"50000\"/></a:schemeClr></a:lnRef><a:fillRef "
                              "idx=\"1\"><a:schemeClr val=\"accent1\"/></a:fillRef><a:effectRef "
                              "idx=\"0\"><a:schemeClr val=\"accent1\"/></a:effectRef></wps:style>";
    const DocDraft styled = themedShape("<a:prstGeom prst=\"hexagon\"/>", style);
    const DocDraft ownFill = themedShape("<a:noFill/>", style);
    const Written out(join({write("plain.docx", DocDraft{}), write("styled.docx", styled),
                            write("own.docx", ownFill)}));
    const auto doc = out.document();
    const auto shapes = doc.select_nodes("//wps:spPr");
    ASSERT_EQ(shapes.size(), 2u);
    // The fill after the geometry, the line after the fill, the placeholder the reference's
    // colour with the entry's tint after the reference's shade.
    const auto first = shapes[0].node();
    EXPECT_EQ(serializeNode(first),
              "<wps:spPr><a:prstGeom prst=\"hexagon\"/><a:solidFill><a:srgbClr val=\"112233\"/>"
              "</a:solidFill><a:ln w=\"12700\"><a:solidFill><a:srgbClr val=\"112233\"><a:shade "
              "val=\"50000\"/><a:tint val=\"90000\"/></a:srgbClr></a:solidFill></a:ln>"
              "</wps:spPr>");
    // A fill of its own stays; nothing is stated for an effect of index 0.
    const auto second = shapes[1].node();
    EXPECT_STREQ(second.first_child().name(), "a:noFill");
    EXPECT_EQ(std::distance(second.children().begin(), second.children().end()), 2);
    EXPECT_STREQ(second.last_child().attribute("w").value(), "12700");
}

TEST_F(DocumentWideSettingsTest, LibreOfficeShadesAGradientAsItsOwnThemeCompletesItEitherWay) {
    // A page of a gradient from white to black that states no shading: its style's background
    // fill runs it down the page under its own theme, out from the middle under the other's.
    auto themed = [](const std::string& shading, const std::string& body) {
        DocDraft draft;
        draft.body = body;
        draft.setTheme(
            "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/"
            "main\" name=\"T\"><a:themeElements><a:fmtScheme name=\"T\"><a:fillStyleLst/>"
            "<a:lnStyleLst/><a:effectStyleLst/><a:bgFillStyleLst><a:noFill/><a:noFill/>"
            "<a:gradFill rotWithShape=\"1\"><a:gsLst><a:gs pos=\"0\"><a:schemeClr "
            "val=\"phClr\"/></a:gs><a:gs pos=\"100000\"><a:schemeClr val=\"phClr\"/>"
            "</a:gs></a:gsLst>" +
            shading +
            "</a:gradFill></a:bgFillStyleLst></a:fmtScheme></a:themeElements>"
            "</a:theme>");
        return draft;
    };
    const std::string page = "cx=\"7560310\" cy=\"10692130\"";
    const DocDraft own = themed(
        "<a:lin ang=\"5400000\" scaled=\"0\"/>",
        "<w:p><w:r><w:drawing><wp:anchor distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" "
        "simplePos=\"0\" relativeHeight=\"1\" behindDoc=\"1\" locked=\"0\" layoutInCell=\"1\" "
        "allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/><wp:positionH relativeFrom=\"page\">"
        "<wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\">"
        "<wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent " +
            page +
            "/><wp:wrapNone/><wp:docPr id=\"1\" name=\"Shade\"/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp>"
            "<wps:cNvSpPr/><wps:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext " +
            page +
            "/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom><a:gradFill><a:gsLst>"
            "<a:gs pos=\"0\"><a:srgbClr val=\"FFFFFF\"/></a:gs><a:gs pos=\"100000\"><a:srgbClr "
            "val=\"000000\"/></a:gs></a:gsLst></a:gradFill><a:ln><a:noFill/></a:ln></wps:spPr>"
            "<wps:style><a:lnRef idx=\"0\"><a:srgbClr val=\"000000\"/></a:lnRef><a:fillRef "
            "idx=\"1003\"><a:srgbClr val=\"808080\"/></a:fillRef><a:effectRef idx=\"0\">"
            "<a:srgbClr val=\"000000\"/></a:effectRef><a:fontRef idx=\"minor\"/></wps:style>"
            "<wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>"
            "<w:r><w:t>shaded</w:t></w:r></w:p>");
    const DocDraft other = themed("<a:path path=\"circle\"><a:fillToRect l=\"50000\" t=\"50000\" "
                                  "r=\"50000\" b=\"50000\"/></a:path>",
                                  para("leader"));
    const std::string ownPath = write("own.docx", own);
    const std::string otherPath = write("other.docx", other);
    // The shading and rotation of its own theme's gradient come after the stops.
    const auto doc = Written(join({otherPath, ownPath})).document();
    EXPECT_STREQ(doc.select_node("//a:gradFill").node().attribute("rotWithShape").value(), "1");
    EXPECT_STREQ(doc.select_node("//a:gradFill/*[2]").node().name(), "a:lin");
    EXPECT_STREQ(doc.select_node("//a:fillRef").node().attribute("idx").value(), "0");
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    ASSERT_EQ(renderBothWaysRound(ownPath, otherPath), "");
    for (const auto& [x, y] : {std::pair{0.5, 0.1}, {0.5, 0.9}, {0.1, 0.5}}) {
        const int alone = pdfPageGreys(pdfOf("own"), x, y).at(0);
        EXPECT_NEAR(pdfPageGreys(pdfOf("ownfirst"), x, y).at(0), alone, 8) << x << "," << y;
        EXPECT_NEAR(pdfPageGreys(pdfOf("otherfirst"), x, y).at(1), alone, 8) << x << "," << y;
    }
}

// ------------------------------------------------------------------------ default tab stop

/// The stop positions a paragraph states in its own w:tabs, in order.
std::vector<long> ownStops(const pugi::xml_node& paragraph) {
    std::vector<long> out;
    for (const auto tab : paragraph.child("w:pPr").child("w:tabs").children("w:tab")) {
        out.push_back(tab.attribute("w:pos").as_int());
    }
    return out;
}

/// A paragraph whose text follows a tab.
std::string tabbed(const std::string& text, const std::string& pPr = "") {
    return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") + "<w:r><w:tab/><w:t>" +
           text + "</w:t></w:r></w:p>";
}

TEST_F(DocumentWideSettingsTest, TabsOfALaterDocumentStopAtItsOwnInterval) {
    DocDraft leader;
    leader.settings = "<w:defaultTabStop w:val=\"720\"/>";
    leader.body = tabbed("leader");
    DocDraft same = leader;
    same.body = tabbed("same interval");

    DocDraft other; // default stops every 1000 twips
    other.settings = "<w:defaultTabStop w:val=\"1000\"/>";
    other.styles = kNormal +
                   "<w:style w:type=\"paragraph\" w:styleId=\"Stops\"><w:name w:val=\"Stops\"/>"
                   "<w:pPr><w:tabs><w:tab w:val=\"center\" w:pos=\"2500\"/><w:tab w:val=\"right\" "
                   "w:pos=\"6100\"/></w:tabs></w:pPr></w:style>";
    other.numbering =
        "<w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/>"
        "<w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/><w:pPr><w:tabs><w:tab "
        "w:val=\"num\" w:pos=\"1440\"/></w:tabs><w:ind w:left=\"1440\" w:hanging=\"360\"/></w:pPr>"
        "</w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>";
    other.body =
        tabbed("plain") + tabbed("style stops", "<w:pStyle w:val=\"Stops\"/>") +
        tabbed("style stop cleared", "<w:pStyle w:val=\"Stops\"/><w:tabs><w:tab "
                                     "w:val=\"clear\" w:pos=\"6100\"/></w:tabs>") +
        tabbed("list item", "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>") +
        tabbed("right to left", "<w:bidi/>") + para("no tab") +
        "<w:p><w:r><w:t>box</w:t></w:r><w:r><w:pict><v:shape><v:textbox><w:txbxContent>" +
        tabbed("boxed") + "</w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>" +
        "<w:p><w:pPr>" + a4Section("<w:headerReference w:type=\"default\" r:id=\"rIdH\"/>") +
        "</w:pPr></w:p>" + tabbed("narrower section");
    other.sectPr = a4Section("", 2000);
    other.rels["rIdH"] = {"header", "header1.xml", false};
    other.parts["word/header1.xml"] = {
        "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml",
        "<w:hdr" + testNamespaces() + ">" + tabbed("header") + "</w:hdr>"};

    const Written out(
        join({write("leader.docx", leader), write("same.docx", same), write("other.docx", other)}));
    const auto doc = out.document();
    pugi::xml_node header;
    std::deque<pugi::xml_document> headers; // nodes stay where they are as it grows
    for (const auto& [name, data] : out.package().parts) {
        if (name.find("word/header") == 0) {
            headers.push_back(out.xml(name));
            header = header ? header : paragraphWithText(headers.back(), "header");
        }
    }
    const std::vector<long> everyStop = {1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000};
    const std::vector<std::pair<pugi::xml_node, std::vector<long>>> expected = {
        {paragraphWithText(doc, "leader"), {}},
        {paragraphWithText(doc, "same interval"), {}},
        {paragraphWithText(doc, "plain"), everyStop},
        {paragraphWithText(doc, "style stops"), {7000, 8000, 9000}},
        // Without the cleared stop the centred one is the last: stops follow it.
        {paragraphWithText(doc, "style stop cleared"),
         {6100, 3000, 4000, 5000, 6000, 7000, 8000, 9000}},
        // The tab after the number still goes to the level's indent.
        {paragraphWithText(doc, "list item"), {2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000}},
        {paragraphWithText(doc, "right to left"), {}},
        {paragraphWithText(doc, "no tab"), {}},
        {paragraphWithText(paragraphWithText(doc, "boxboxed").last_child(), "boxed"), everyStop},
        {paragraphWithText(doc, "boxboxed"), {}},
        {paragraphWithText(doc, "narrower section"), {1000, 2000, 3000, 4000, 5000, 6000, 7000}},
        {header, everyStop}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(expected[i].first) << "paragraph " << i;
        EXPECT_EQ(ownStops(expected[i].first), expected[i].second) << textOf(expected[i].first);
    }
}

TEST_F(DocumentWideSettingsTest, LibreOfficeKeepsTheLinesOfTabbedTextEitherWay) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // 40 lines of five tabs and a sentence: one line each at stops every quarter inch, two at
    // stops every inch (the sentence starts 5 inches in and wraps).
    std::string body;
    for (int i = 0; i < 40; ++i) {
        body += "<w:p><w:r><w:t>" + std::to_string(i) +
                "</w:t><w:tab/><w:t>a</w:t><w:tab/><w:t>b</w:t><w:tab/><w:t>c</w:t><w:tab/>"
                "<w:t>d</w:t><w:tab/><w:t>lorem ipsum dolor sit amet consectetur adipiscing "
                "elit sed do</w:t></w:r></w:p>";
    }
    DocDraft narrow;
    narrow.settings = "<w:defaultTabStop w:val=\"360\"/>";
    narrow.body = body;
    narrow.sectPr = a4Section();
    DocDraft wide = narrow;
    wide.settings = "<w:defaultTabStop w:val=\"1440\"/>";
    const std::string narrowPath = write("narrow.docx", narrow);
    const std::string widePath = write("wide.docx", wide);
    expectPagesEitherWay(narrowPath, 1, widePath, 2, 3);
}

// ------------------------------------------------------------------------ gutter position

TEST_F(DocumentWideSettingsTest, LibreOfficeKeepsTheGutterOfEachDocumentWhereItPutsIt) {
    // 50 short paragraphs with a 3 inch gutter: one page with the gutter at the side, two with
    // it at the top. Both documents are the same but for w:gutterAtTop.
    DocDraft side;
    side.settings = "<w:defaultTabStop w:val=\"720\"/>";
    side.body.clear();
    for (int i = 0; i < 50; ++i) {
        side.body += para("line " + std::to_string(i));
    }
    side.sectPr = "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
                  "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\" w:header=\"708\" "
                  "w:footer=\"708\" w:gutter=\"4320\"/></w:sectPr>";
    DocDraft top = side;
    top.settings = "<w:gutterAtTop/>" + side.settings;
    const std::string sidePath = write("side.docx", side);
    const std::string topPath = write("top.docx", top);

    const std::vector<std::pair<std::string, std::vector<std::string>>> joins = {
        {"side-first", {sidePath, topPath}}, {"top-first", {topPath, sidePath}}};
    std::vector<std::string> files{sidePath, topPath};
    for (const auto& [name, inputs] : joins) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
        // The joined document has gutters at the side only; the top one is a top margin now.
        const Written out(files.back());
        EXPECT_FALSE(out.xml("word/settings.xml").document_element().child("w:gutterAtTop"))
            << name;
        const auto joined = out.document();
        const auto margins = joined.select_nodes("//w:pgMar");
        ASSERT_EQ(margins.size(), 2U) << name;
        const bool topLeads = name == "top-first";
        const auto& topMargins = margins[topLeads ? 0 : 1].node();
        EXPECT_EQ(topMargins.attribute("w:top").as_int(), 5760) << name;
        EXPECT_EQ(topMargins.attribute("w:gutter").as_int(), 0) << name;
        EXPECT_EQ(margins[topLeads ? 1 : 0].node().attribute("w:gutter").as_int(), 4320) << name;
    }
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    const std::string failed = renderPdfs(dir, files);
    ASSERT_EQ(failed, "");
    ASSERT_EQ(pdfPages(dir / "pdf" / "side.pdf"), 1);
    ASSERT_EQ(pdfPages(dir / "pdf" / "top.pdf"), 2);
    for (const auto& [name, inputs] : joins) {
        EXPECT_EQ(pdfPages(dir / "pdf" / (name + ".pdf")), 3) << name;
    }
}

// ------------------------------------------------------------------------------ line grid

TEST_F(DocumentWideSettingsTest, LibreOfficeStartsTheLinesOfALineGridAsAloneWithNotesAnywhere) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // 13958 twips between the margins hold 38 lines of 360 with 278 to spare, which
    // LibreOffice centres around the lines of a document without notes only.
    DocDraft grid;
    grid.body = para("gridline");
    grid.sectPr = "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
                  "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\" w:header=\"708\" "
                  "w:footer=\"708\" w:gutter=\"0\"/><w:docGrid w:type=\"lines\" "
                  "w:linePitch=\"360\"/></w:sectPr>";
    DocDraft noted;
    noted.body = "<w:p><w:r><w:t>noted</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/>"
                 "</w:r></w:p>";
    noted.footnotes = "<w:footnote w:id=\"1\"><w:p><w:r><w:t>note</w:t></w:r></w:p>"
                      "</w:footnote>";
    const std::string gridPath = write("grid.docx", grid);
    const std::string plainPath = write("plain.docx", DocDraft{});
    const std::string notedPath = write("noted.docx", noted);
    // Without notes the joined document centres the lines as the document alone does.
    const std::vector<std::pair<std::string, std::vector<std::string>>> joins = {
        {"after-notes", {notedPath, gridPath}},
        {"before-notes", {gridPath, plainPath, notedPath}},
        {"without-notes", {plainPath, gridPath}}};
    std::vector<std::string> files{gridPath};
    for (const auto& [name, inputs] : joins) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
    }
    const std::string failed = renderPdfs(dir, files);
    ASSERT_EQ(failed, "");
    const double alone = pdfWordTop(dir / "pdf" / "grid.pdf", "gridline");
    ASSERT_GT(alone, 0);
    for (const auto& [name, inputs] : joins) {
        EXPECT_NEAR(pdfWordTop(dir / "pdf" / (name + ".pdf"), "gridline"), alone, 0.5) << name;
    }
}

// -------------------------------------------------------------------- theme font languages

TEST_F(DocumentWideSettingsTest, LibreOfficeKeepsTheArabicFaceOfADocumentsThemeLanguageEitherWay) {
    // The theme names no complex script font but one for Arabic script, which a document whose
    // theme font language for complex scripts is Arabic takes: after a leader without that
    // language, Arabic text fell back to another face, with other line heights.
    const auto themed = [](const std::string& languages, const std::string& body) {
        DocDraft draft;
        draft.settings = "<w:themeFontLang w:val=\"en-US\"" + languages + "/>";
        draft.styles = "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:cstheme=\"minorBidi\"/>"
                       "</w:rPr></w:rPrDefault></w:docDefaults>";
        draft.setTheme(
            "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
            "name=\"T\"><a:themeElements><a:fontScheme name=\"T\"><a:majorFont><a:latin "
            "typeface=\"DejaVu Sans\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/></a:majorFont>"
            "<a:minorFont><a:latin typeface=\"DejaVu Sans\"/><a:ea typeface=\"\"/><a:cs "
            "typeface=\"\"/><a:font script=\"Arab\" typeface=\"Liberation Mono\"/>"
            "</a:minorFont></a:fontScheme></a:themeElements></a:theme>");
        draft.body = body;
        return draft;
    };
    std::string arabic;
    for (int i = 0; i < 150; ++i) {
        arabic += "\xd8\xb3\xd9\x84\xd8\xa7\xd9\x85 ";
    }
    const DocDraft own =
        themed(" w:bidi=\"ar-SA\"", "<w:p><w:pPr><w:bidi/></w:pPr><w:r><w:rPr>"
                                    "<w:rtl/></w:rPr><w:t>" +
                                        arabic + "</w:t></w:r></w:p>" + para("end"));
    const DocDraft other = themed("", para("leader"));
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(write("arabic.docx", own), write("leader.docx", other), "end");
}

// -------------------------------------------------------------------- theme shape styles

TEST_F(DocumentWideSettingsTest, ShapesOfALaterDocumentKeepTheColoursOfItsOwnTheme) {
    DocDraft themed;
    themed.setTheme(
        "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"Old\">"
        "<a:themeElements><a:clrScheme name=\"Old\"><a:dk1><a:sysClr val=\"windowText\" "
        "lastClr=\"000000\"/></a:dk1><a:accent1><a:srgbClr val=\"4F81BD\"/></a:accent1>"
        "</a:clrScheme></a:themeElements></a:theme>");
    auto fill = [](const std::string& color) {
        return "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"100\" cy=\"100\"/><wp:docPr "
               "id=\"1\" name=\"Shape\"/><a:graphic><a:graphicData uri=\"http://schemas."
               "microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp><wps:spPr>"
               "<a:solidFill><a:schemeClr val=\"" +
               color +
               "\"><a:lumMod val=\"75000\"/></a:schemeClr></a:solidFill></wps:spPr><wps:bodyPr/>"
               "</wps:wsp></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
    };
    themed.body = fill("accent1") + fill("tx1") + fill("phClr") + fill("accent2");
    // After a document with the blank document's theme, the shapes name their own colours, with
    // the same shading; what the theme leaves out, or a placeholder, stays a reference.
    const Written out(join({write("plain.docx", DocDraft{}), write("themed.docx", themed)}));
    const auto doc = out.document();
    std::vector<std::string> fills;
    for (const auto& hit : doc.select_nodes("//a:solidFill/*")) {
        fills.push_back(std::string(hit.node().name()) + " " + hit.node().attribute("val").value() +
                        " " + hit.node().child("a:lumMod").attribute("val").value());
    }
    EXPECT_EQ(fills,
              (std::vector<std::string>{"a:srgbClr 4F81BD 75000", "a:srgbClr 000000 75000",
                                        "a:schemeClr phClr 75000", "a:schemeClr accent2 75000"}));
}

} // namespace
} // namespace paperloom::engine::testing
