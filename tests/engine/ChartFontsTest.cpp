// Charts of a document whose theme differs from the joined document's keep the typefaces of
// their own theme.
#include "EngineFixture.h"
#include "StructuralCheck.h"

#include "engine/package/Relationships.h"

namespace paperloom::engine::testing {
namespace {

using ChartFontsTest = EngineFixture;

constexpr const char* kChartNs =
    "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"";
constexpr const char* kDrawingNs =
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"";

/// A document with one chart part (chartSpace children given, its workbook as rId1) and, when
/// typefaces are given, a theme with those major and minor latin fonts.
DocDraft chartDocument(const std::string& chartSpace, const std::string& major = {},
                       const std::string& minor = {}) {
    DocDraft draft;
    draft.body = std::string("<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"100\" cy=\"100\"/>"
                             "<wp:docPr id=\"1\" name=\"Chart 1\"/><a:graphic><a:graphicData "
                             "uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\">"
                             "<c:chart ") +
                 kChartNs +
                 " r:id=\"rId7\"/></a:graphicData></a:graphic></wp:inline></w:drawing>"
                 "</w:r></w:p>";
    draft.rels["rId7"] = {"chart", "charts/chart1.xml", false};
    draft.parts["word/charts/chart1.xml"] = {
        "application/vnd.openxmlformats-officedocument.drawingml.chart+xml",
        std::string("<c:chartSpace ") + kChartNs + " " + kDrawingNs +
            " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
            chartSpace + "</c:chartSpace>"};
    draft.partRels["word/charts/chart1.xml"] = {
        {"rId1", {"package", "../embeddings/book1.xlsx", false}}};
    draft.parts["word/embeddings/book1.xlsx"] = {
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", "workbook"};
    if (!minor.empty()) {
        draft.setTheme(
            std::string("<a:theme ") + kDrawingNs +
            " name=\"T\"><a:themeElements><a:fontScheme name=\"T\"><a:majorFont><a:latin "
            "typeface=\"" +
            major + "\"/></a:majorFont><a:minorFont><a:latin typeface=\"" + minor +
            "\"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>");
    }
    return draft;
}

/// The chart part the body's n-th chart reference names.
pugi::xml_document chartOf(const Written& out, std::size_t n) {
    const std::string part = chartPartOf(out, n);
    if (part.empty()) {
        ADD_FAILURE() << "chart " << n << " has no relationship";
        return {};
    }
    return out.xml(part);
}

const std::string kTitle = "<c:chart><c:title><c:tx><c:rich><a:bodyPr/><a:p><a:r><a:rPr>"
                           "<a:latin typeface=\"+mj-lt\"/><a:ea typeface=\"+mn-ea\"/></a:rPr>"
                           "<a:t>T</a:t></a:r></a:p></c:rich></c:tx></c:title></c:chart>";

TEST_F(ChartFontsTest, AChartOfAnotherThemeNamesItsOwnTypefaces) {
    // The output's theme is the first document's (the blank one's); the chart's theme differs.
    const Written out(
        join({write("plain.docx", DocDraft{}),
              write("chart.docx", chartDocument(kTitle + "<c:externalData r:id=\"rId1\"/>",
                                                "Cambria", "Constantia"))}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto chart = chartOf(out, 0);
    const auto space = chart.document_element();
    // A reference the theme fills is resolved; one it leaves empty stays for the reader.
    EXPECT_STREQ(space.select_node("//a:rPr/a:latin").node().attribute("typeface").value(),
                 "Cambria");
    EXPECT_STREQ(space.select_node("//a:rPr/a:ea").node().attribute("typeface").value(), "+mn-ea");
    // Text without a font of its own defaults to the minor font, stated before externalData.
    const auto txPr = space.child("c:txPr");
    ASSERT_TRUE(txPr);
    EXPECT_STREQ(txPr.next_sibling().name(), "c:externalData");
    EXPECT_STREQ(
        txPr.select_node("a:p/a:pPr/a:defRPr/a:latin").node().attribute("typeface").value(),
        "Constantia");
    EXPECT_TRUE(txPr.child("a:bodyPr"));
}

TEST_F(ChartFontsTest, DefaultTextPropertiesOfTheChartGainOnlyTheMissingTypeface) {
    const std::string chartSpace =
        "<c:chart/><c:txPr><a:bodyPr/><a:p><a:pPr><a:defRPr sz=\"900\"><a:solidFill/>"
        "<a:ea typeface=\"SimSun\"/></a:defRPr></a:pPr></a:p><a:p><a:pPr><a:defRPr>"
        "<a:latin typeface=\"Arial\"/></a:defRPr></a:pPr></a:p></c:txPr>";
    const Written out(join({write("plain.docx", DocDraft{}),
                            write("chart.docx", chartDocument(chartSpace, "Cambria", "Georgia"))}));
    const auto chart = chartOf(out, 0);
    const auto txPr = chart.document_element().child("c:txPr");
    const auto first = txPr.child("a:p").child("a:pPr").child("a:defRPr");
    EXPECT_STREQ(first.attribute("sz").value(), "900");
    const auto latin = first.child("a:latin");
    EXPECT_STREQ(latin.attribute("typeface").value(), "Georgia");
    EXPECT_STREQ(latin.previous_sibling().name(), "a:solidFill"); // schema order kept
    EXPECT_STREQ(latin.next_sibling().name(), "a:ea");
    const auto second = txPr.child("a:p").next_sibling("a:p").child("a:pPr").child("a:defRPr");
    EXPECT_STREQ(second.child("a:latin").attribute("typeface").value(), "Arial");
    EXPECT_FALSE(second.child("a:latin").next_sibling("a:latin"));
}

TEST_F(ChartFontsTest, AThemelessChartAfterAThemedDocumentKeepsTheReadersOwnFaceAndHairlines) {
    // The first document's theme becomes the output's, so its chart needs nothing. A document
    // without a theme had its chart drawn in the reader's own sans serif, with hairlines where
    // a line states no width: after a themed document it would take that theme's font and
    // line styles, so both are stated.
    const std::string lined = kTitle + "<c:plotArea><c:spPr><a:ln><a:solidFill/></a:ln></c:spPr>"
                                       "</c:plotArea>";
    const DocDraft themed = chartDocument(kTitle, "Cambria", "Constantia");
    const DocDraft themeless = chartDocument(lined);
    const Written out(join({write("themed.docx", themed), write("themeless.docx", themeless)}));
    const auto first = chartOf(out, 0);
    EXPECT_FALSE(first.document_element().child("c:txPr"));
    EXPECT_STREQ(first.select_node("//a:rPr/a:latin").node().attribute("typeface").value(),
                 "+mj-lt");
    const auto second = chartOf(out, 1);
    EXPECT_STREQ(second.select_node("//a:rPr/a:latin").node().attribute("typeface").value(),
                 "Arial");
    EXPECT_STREQ(
        second.select_node("//c:txPr//a:defRPr/a:latin").node().attribute("typeface").value(),
        "Arial");
    EXPECT_STREQ(second.select_node("//c:spPr/a:ln").node().attribute("w").value(), "0");
}

TEST_F(ChartFontsTest, AFirstDocumentWithoutAThemeLeavesTheOutputWithoutOne) {
    // Readers draw the charts of a theme-less document with fallbacks of their own, which the
    // new document's theme would replace. A themed document after it states its typefaces.
    const Written out(join({write("themeless.docx", chartDocument(kTitle)),
                            write("themed.docx", chartDocument(kTitle, "Cambria", "Georgia"))}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    for (const auto& [name, data] : out.package().parts) {
        EXPECT_EQ(name.find("theme"), std::string::npos) << name;
    }
    EXPECT_EQ(out.text("[Content_Types].xml").find("theme"), std::string::npos);
    EXPECT_EQ(out.text("word/_rels/document.xml.rels").find("theme"), std::string::npos);
    EXPECT_STREQ(
        chartOf(out, 0).select_node("//a:rPr/a:latin").node().attribute("typeface").value(),
        "+mj-lt");
    EXPECT_STREQ(
        chartOf(out, 1).select_node("//a:rPr/a:latin").node().attribute("typeface").value(),
        "Cambria");
}

} // namespace
} // namespace paperloom::engine::testing
