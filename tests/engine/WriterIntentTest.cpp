// What a document's own settings, writer and properties meant survives a join in which another
// document's settings, or none, speak for the whole: charts of 2007 packages, automatic
// paragraph spacing of the fixed kind, paragraph marks after a page break and content controls
// bound to the document's properties or to its own empty data.
#include "EngineFixture.h"
#include "StructuralCheck.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace paperloom::engine::testing {
namespace {

using WriterIntentTest = EngineFixture;

/// A document with one chart part whose c:chartSpace holds chartSpace; written by version 12
/// of the word processor when appVersion is "12.0000", by an unnamed writer when it is empty.
DocDraft chartDocument(const std::string& chartSpace, const std::string& appVersion) {
    DocDraft draft;
    draft.body = "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"100\" cy=\"100\"/>"
                 "<wp:docPr id=\"1\" name=\"Chart 1\"/><a:graphic><a:graphicData "
                 "uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart "
                 "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
                 "r:id=\"rId7\"/></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
    draft.rels["rId7"] = {"chart", "charts/chart1.xml", false};
    draft.parts["word/charts/chart1.xml"] = {
        "application/vnd.openxmlformats-officedocument.drawingml.chart+xml",
        "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\">" +
            chartSpace + "</c:chartSpace>"};
    if (!appVersion.empty()) {
        draft.packageRels["rIdApp"] = {"extended-properties", "docProps/app.xml", false};
        draft.parts["docProps/app.xml"] = {
            "application/vnd.openxmlformats-officedocument.extended-properties+xml",
            "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/"
            "extended-properties\"><Application>Microsoft Office Word</Application>"
            "<AppVersion>" +
                appVersion + "</AppVersion></Properties>"};
    }
    return draft;
}

/// The chart part the body's n-th chart reference names, serialised.
std::string chartOf(const Written& out, std::size_t n) {
    const std::string part = chartPartOf(out, n);
    if (part.empty()) {
        ADD_FAILURE() << "chart " << n << " has no relationship";
        return {};
    }
    return out.text(part);
}

TEST_F(WriterIntentTest, ChartsOfA2007PackageStateWhatTheirWriterLeftOut) {
    // A pie whose labels show values only, a 3-D view and an axis: what version 12 left out
    // or stated without a value, it read as off; other readers take much of it as on.
    const std::string chart =
        "<c:chart><c:view3D><c:rotX val=\"15\"/><c:perspective val=\"30\"/></c:view3D>"
        "<c:plotArea><c:pieChart><c:ser><c:idx val=\"0\"/><c:dLbls><c:showVal val=\"1\"/>"
        "</c:dLbls></c:ser></c:pieChart><c:catAx><c:axId val=\"1\"/><c:axPos val=\"b\"/>"
        "<c:crossAx val=\"2\"/></c:catAx><c:dLbls><c:delete val=\"1\"/></c:dLbls></c:plotArea>"
        "<c:legend><c:legendPos val=\"r\"/></c:legend><c:plotVisOnly/></c:chart>";
    const Written out(
        join({write("plain.docx", DocDraft{}), write("old.docx", chartDocument(chart, "12.0000")),
              write("new.docx", chartDocument(chart, "14.0000")),
              write("unnamed.docx", chartDocument(chart, ""))}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});

    const std::string old = chartOf(out, 0);
    for (const char* stated :
         {"<c:roundedCorners val=\"0\"/><c:chart><c:autoTitleDeleted val=\"0\"/>",
          "<c:rotX val=\"15\"/><c:rAngAx val=\"0\"/><c:perspective val=\"30\"/>",
          "<c:pieChart><c:varyColors val=\"0\"/><c:ser>",
          "<c:dLbls><c:showLegendKey val=\"0\"/><c:showVal val=\"1\"/><c:showCatName val=\"0\"/>"
          "<c:showSerName val=\"0\"/><c:showPercent val=\"0\"/><c:showBubbleSize val=\"0\"/>"
          "</c:dLbls>",
          "<c:axId val=\"1\"/><c:delete val=\"0\"/><c:axPos val=\"b\"/><c:majorTickMark "
          "val=\"out\"/><c:minorTickMark val=\"none\"/><c:crossAx val=\"2\"/>",
          "<c:legendPos val=\"r\"/><c:overlay val=\"0\"/></c:legend>",
          // Deleted labels need no switches; a value-less switch was off.
          "<c:dLbls><c:delete val=\"1\"/></c:dLbls>",
          "<c:plotVisOnly val=\"0\"/><c:dispBlanksAs val=\"gap\"/>"}) {
        EXPECT_NE(old.find(stated), std::string::npos) << stated << "\nin " << old;
    }
    // Other writers' charts mean what the format's defaults say: left as they are.
    for (std::size_t n : {1u, 2u}) {
        EXPECT_EQ(chartOf(out, n).find("varyColors"), std::string::npos) << n;
    }
}

constexpr const char* kFixedKind = "<w:compat><w:doNotUseHTMLParagraphAutoSpacing/></w:compat>";
constexpr const char* kAutoSpacing =
    "<w:spacing w:beforeAutospacing=\"1\" w:afterAutospacing=\"1\" "
    "w:line=\"240\" w:lineRule=\"exact\"/>";

/// 27 lines of 12 pt with automatic spacing around each, in a style: 5 pt each side fit one
/// page, 14 pt each side need two.
DocDraft autoSpacedDocument(bool fixedKind) {
    DocDraft draft;
    draft.styles = std::string("<w:style w:type=\"paragraph\" w:styleId=\"Auto\"><w:name "
                               "w:val=\"Auto\"/><w:pPr>") +
                   kAutoSpacing + "</w:pPr></w:style>";
    draft.body.clear();
    for (int i = 0; i < 27; ++i) {
        draft.body += para("line " + std::to_string(i), "<w:pStyle w:val=\"Auto\"/>");
    }
    draft.sectPr = kLetter;
    if (fixedKind) {
        draft.settings = kFixedKind;
    }
    return draft;
}

TEST_F(WriterIntentTest, FixedAutomaticSpacingIsStatedAndTheJoinedDocumentHasTheHtmlKind) {
    DocDraft fixed = autoSpacedDocument(true);
    // A paragraph's own spacing: its automatic before becomes 5 pt, its stated 3 pt after
    // takes in the 5 pt before the next line, as the fixed kind adds them.
    fixed.body = para("own", "<w:pStyle w:val=\"Auto\"/><w:spacing w:after=\"60\" "
                             "w:afterAutospacing=\"0\" w:beforeAutospacing=\"1\"/>") +
                 fixed.body;
    DocDraft html = autoSpacedDocument(false);
    html.styles.clear();
    html.body = para("first", kAutoSpacing) + para("second", kAutoSpacing);
    const std::string fixedPath = write("fixed.docx", fixed);
    const std::string htmlPath = write("html.docx", html);

    for (const bool fixedFirst : {true, false}) {
        SCOPED_TRACE(fixedFirst ? "fixed first" : "fixed second");
        const Written out(join(fixedFirst ? std::vector<std::string>{fixedPath, htmlPath}
                                          : std::vector<std::string>{htmlPath, fixedPath}));
        EXPECT_EQ(out.text("word/settings.xml").find("doNotUseHTMLParagraphAutoSpacing"),
                  std::string::npos);
        const auto styles = out.xml("word/styles.xml");
        const auto doc = out.document();
        pugi::xml_node own;
        std::vector<pugi::xml_node> htmlParagraphs;
        for (const auto& p : doc.document_element().child("w:body").children("w:p")) {
            const std::string text = p.child("w:r").child("w:t").text().get();
            if (text == "own") {
                own = p;
            } else if (text == "first" || text == "second") {
                htmlParagraphs.push_back(p);
            }
        }
        ASSERT_TRUE(own);
        const auto ownSpacing = own.child("w:pPr").child("w:spacing");
        EXPECT_STREQ(ownSpacing.attribute("w:before").value(), "100");
        EXPECT_STREQ(ownSpacing.attribute("w:beforeAutospacing").value(), "0");
        EXPECT_STREQ(ownSpacing.attribute("w:after").value(), "160");
        // The style the fixed document's paragraphs use (renamed or not) spaces them by 5 pt.
        const std::string styleId = own.child("w:pPr").child("w:pStyle").attribute("w:val").value();
        const auto style = styles.document_element().find_child(
            [&](const pugi::xml_node& s) { return styleId == s.attribute("w:styleId").value(); });
        const auto styleSpacing = style.child("w:pPr").child("w:spacing");
        EXPECT_STREQ(styleSpacing.attribute("w:after").value(), "100");
        EXPECT_STREQ(styleSpacing.attribute("w:afterAutospacing").value(), "0");
        // The other document keeps its automatic spacing, but where a page of its own starts
        // it has none before its first paragraph, as at the start of a document.
        ASSERT_EQ(htmlParagraphs.size(), 2u);
        const auto firstSpacing = htmlParagraphs[0].child("w:pPr").child("w:spacing");
        EXPECT_STREQ(firstSpacing.attribute("w:beforeAutospacing").value(), fixedFirst ? "0" : "1");
        EXPECT_STREQ(htmlParagraphs[1]
                         .child("w:pPr")
                         .child("w:spacing")
                         .attribute("w:beforeAutospacing")
                         .value(),
                     "1");
    }
}

TEST_F(WriterIntentTest, LibreOfficeKeepsThePagesOfBothKindsOfAutomaticSpacingEitherWayRound) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // Alone, the fixed kind takes one page and the HTML kind two: three pages either way round.
    const std::string fixed = write("fixed.docx", autoSpacedDocument(true));
    const std::string html = write("html.docx", autoSpacedDocument(false));
    std::vector<std::string> files{fixed, html};
    for (const auto& [name, inputs] :
         {std::pair<std::string, std::vector<std::string>>{"fixedfirst", {fixed, html}},
          {"htmlfirst", {html, fixed}}}) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
    }
    const std::string failed = renderPdfs(dir, files);
    ASSERT_EQ(failed, "");
    ASSERT_EQ(pdfPages(dir / "pdf" / "fixed.pdf"), 1);
    ASSERT_EQ(pdfPages(dir / "pdf" / "html.pdf"), 2);
    EXPECT_EQ(pdfPages(dir / "pdf" / "fixedfirst.pdf"), 3);
    EXPECT_EQ(pdfPages(dir / "pdf" / "htmlfirst.pdf"), 3);
}

TEST_F(WriterIntentTest, LibreOfficeKeepsTheGapsBetweenParagraphsOfBothKindsEitherWayRound) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // 40 lines of 12 pt with 12 pt before and after each: the fixed kind adds the two (three
    // pages), the HTML kind takes the larger (two pages). Five pages either way round.
    DocDraft fixed;
    fixed.body.clear();
    for (int i = 0; i < 40; ++i) {
        fixed.body += para("line " + std::to_string(i),
                           "<w:spacing w:before=\"240\" w:after=\"240\" w:line=\"240\" "
                           "w:lineRule=\"exact\"/>");
    }
    fixed.sectPr = kLetter;
    fixed.settings = kFixedKind;
    DocDraft html = fixed;
    html.settings = "<w:defaultTabStop w:val=\"720\"/>";
    const std::string fixedPath = write("fixed.docx", fixed);
    const std::string htmlPath = write("html.docx", html);
    std::vector<std::string> files{fixedPath, htmlPath};
    for (const auto& [name, inputs] :
         {std::pair<std::string, std::vector<std::string>>{"fixedfirst", {fixedPath, htmlPath}},
          {"htmlfirst", {htmlPath, fixedPath}}}) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
    }
    const std::string failed = renderPdfs(dir, files);
    ASSERT_EQ(failed, "");
    ASSERT_EQ(pdfPages(dir / "pdf" / "fixed.pdf"), 3);
    ASSERT_EQ(pdfPages(dir / "pdf" / "html.pdf"), 2);
    EXPECT_EQ(pdfPages(dir / "pdf" / "fixedfirst.pdf"), 5);
    EXPECT_EQ(pdfPages(dir / "pdf" / "htmlfirst.pdf"), 5);
}

TEST_F(WriterIntentTest, LibreOfficeKeepsTheMarksAfterPageBreaksWhereEachDocumentPutsThem) {
    // Lines of 40 pt, 16 to a page. With w:splitPgBreakAndParaMark the mark of a paragraph that
    // ends in a page break takes a line of the next page: the paragraph of nothing but a break
    // pushes "last" on, and the mark after "last" starts the next page: four pages, not three.
    const std::string line = "<w:spacing w:line=\"800\" w:lineRule=\"exact\"/>";
    DocDraft plain;
    plain.body = para("first", line) + "<w:p><w:pPr>" + line +
                 "</w:pPr><w:r><w:br w:type=\"page\"/></w:r></w:p>";
    for (int i = 0; i < 15; ++i) {
        plain.body += para("line " + std::to_string(i), line);
    }
    plain.body += "<w:p><w:pPr>" + line +
                  "</w:pPr><w:r><w:t>last</w:t></w:r><w:r><w:br w:type=\"page\"/></w:r></w:p>";
    for (int i = 0; i < 14; ++i) {
        plain.body += para("after " + std::to_string(i), line);
    }
    plain.sectPr = kLetter;
    plain.settings = "<w:defaultTabStop w:val=\"720\"/>";
    DocDraft split = plain;
    split.settings = "<w:compat><w:splitPgBreakAndParaMark/></w:compat>";
    const std::string plainPath = write("plain.docx", plain);
    const std::string splitPath = write("split.docx", split);
    std::vector<std::string> files{plainPath, splitPath};
    for (const auto& [name, inputs] :
         {std::pair<std::string, std::vector<std::string>>{"splitfirst", {splitPath, plainPath}},
          {"plainfirst", {plainPath, splitPath}}}) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
        const Written out(files.back());
        EXPECT_FALSE(out.xml("word/settings.xml")
                         .document_element()
                         .child("w:compat")
                         .child("w:splitPgBreakAndParaMark"))
            << name;
        EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{}) << name;
    }
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    const std::string failed = renderPdfs(dir, files);
    ASSERT_EQ(failed, "");
    ASSERT_EQ(pdfPages(dir / "pdf" / "plain.pdf"), 3);
    ASSERT_EQ(pdfPages(dir / "pdf" / "split.pdf"), 4);
    EXPECT_EQ(pdfPages(dir / "pdf" / "splitfirst.pdf"), 7);
    EXPECT_EQ(pdfPages(dir / "pdf" / "plainfirst.pdf"), 7);
}

constexpr const char* kWml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";

/// A document whose controls are bound to its own properties: the title (a placeholder showing,
/// formatting of its own for the value), the subject (no value) and, in its header, the company
/// (two lines).
DocDraft propertiesDoc(const std::string& name) {
    const std::string core = "\" w:storeItemID=\"{6C3C8BC8-F283-45AE-878A-BAB7291924A1}\"";
    const std::string dc = "w:prefixMappings=\"xmlns:ns0='http://purl.org/dc/elements/1.1/' "
                           "xmlns:ns1='http://schemas.openxmlformats.org/package/2006/metadata/"
                           "core-properties'\" w:xpath=\"/ns1:coreProperties[1]/ns0:";
    auto control = [](const std::string& id, const std::string& binding, const std::string& extra,
                      const std::string& runs) {
        return "<w:sdt><w:sdtPr>" + extra + "<w:id w:val=\"" + id + "\"/><w:dataBinding " +
               binding + "/><w:text/></w:sdtPr><w:sdtContent>" + runs + "</w:sdtContent></w:sdt>";
    };
    const std::string placeholderRun =
        "<w:r><w:rPr><w:rStyle w:val=\"PlaceholderText\"/></w:rPr><w:t>[Title]</w:t></w:r>";
    DocDraft draft;
    draft.body = "<w:p>" +
                 control("200", dc + "title[1]" + core, "<w:rPr><w:b/></w:rPr><w:showingPlcHdr/>",
                         placeholderRun) +
                 "</w:p><w:p>" +
                 control("201", dc + "subject[1]" + core, "<w:showingPlcHdr/>",
                         "<w:r><w:t>[Subject]</w:t></w:r>") +
                 "</w:p><w:p><w:r><w:t>" + name +
                 "</w:t></w:r><w:sectPr><w:headerReference w:type=\"default\" r:id=\"rIdH\"/>"
                 "<w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:p>";
    draft.rels["rIdH"] = {"header", "header1.xml", false};
    draft.parts["word/header1.xml"] = {
        std::string(kWml) + "header+xml",
        "<w:hdr" + testNamespaces() + "><w:p>" +
            control("202",
                    "w:prefixMappings=\"xmlns:ns0='http://schemas.openxmlformats.org/"
                    "officeDocument/2006/extended-properties'\" "
                    "w:xpath=\"/ns0:Properties[1]/ns0:Company[1]\" "
                    "w:storeItemID=\"{6668398D-A668-4E3E-A5EB-62B293D839F1}\"",
                    "", "<w:r><w:t>Old</w:t></w:r><w:r><w:t> company</w:t></w:r>") +
            "</w:p></w:hdr>"};
    draft.packageRels["rIdCore"] = {
        "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties",
        "docProps/core.xml", false};
    draft.parts["docProps/core.xml"] = {
        "application/vnd.openxmlformats-package.core-properties+xml",
        "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
        "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title>" +
            name + "'s report</dc:title><dc:subject/></cp:coreProperties>"};
    draft.packageRels["rIdApp"] = {"extended-properties", "docProps/app.xml", false};
    draft.parts["docProps/app.xml"] = {
        "application/vnd.openxmlformats-officedocument.extended-properties+xml",
        "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "extended-properties\"><Company>" +
            name + "\r\nLtd</Company></Properties>"};
    return draft;
}

TEST_F(WriterIntentTest, ControlsBoundToTheDocumentsPropertiesKeepShowingItsOwnValues) {
    // The joined document's properties are none of these documents': each control shows its
    // own document's value, as it did alone, and the joined properties no longer change it.
    DocDraft plain;
    const Written out(join({write("plain.docx", plain), write("ann.docx", propertiesDoc("Ann")),
                            write("bob.docx", propertiesDoc("Bob"))}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto doc = out.document();
    std::vector<std::string> shown;
    for (const auto& control : elements(doc.document_element(), "w:sdt")) {
        const auto pr = control.child("w:sdtPr");
        EXPECT_FALSE(pr.child("w:dataBinding"));
        const auto content = control.child("w:sdtContent");
        shown.push_back(textOf(content) + (pr.child("w:showingPlcHdr") ? " (placeholder)" : ""));
        if (shown.back().find("report") != std::string::npos) {
            // The value takes the formatting the control gives its text, not the placeholder's.
            const auto runs = elements(content, "w:r");
            ASSERT_EQ(runs.size(), 1u);
            EXPECT_TRUE(runs[0].child("w:rPr").child("w:b"));
            EXPECT_FALSE(runs[0].child("w:rPr").child("w:rStyle"));
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Ann's report", "[Subject] (placeholder)",
                                               "Bob's report", "[Subject] (placeholder)"}));
    std::vector<std::string> companies;
    for (const auto& [name, data] : out.package().parts) {
        if (name.rfind("word/header", 0) != 0 || name.find(".rels") != std::string::npos) {
            continue;
        }
        const auto header = out.xml(name);
        for (const auto& control : elements(header.document_element(), "w:sdt")) {
            EXPECT_FALSE(control.child("w:sdtPr").child("w:dataBinding"));
            const auto content = control.child("w:sdtContent");
            // The line end of the value shows as LibreOffice shows it alone: a line break.
            EXPECT_EQ(elements(content, "w:br").size(), 1u);
            companies.push_back(textOf(content));
        }
    }
    std::sort(companies.begin(), companies.end());
    EXPECT_EQ(companies, (std::vector<std::string>{"AnnLtd", "BobLtd"}));
}

/// A document with a text control bound to /root/abstract of its own custom XML (item id
/// itemId), where abstract holds value; the control shows shown.
DocDraft abstractDoc(const std::string& itemId, const std::string& value,
                     const std::string& shown) {
    DocDraft draft;
    draft.body = "<w:sdt><w:sdtPr><w:id w:val=\"300\"/>" +
                 std::string(value.empty() ? "<w:showingPlcHdr/>" : "") +
                 "<w:dataBinding w:xpath=\"/root[1]/abstract[1]\" w:storeItemID=\"" + itemId +
                 "\"/><w:text/></w:sdtPr><w:sdtContent><w:p><w:r><w:t>" + shown +
                 "</w:t></w:r></w:p></w:sdtContent></w:sdt><w:p><w:r><w:t>After</w:t></w:r></w:p>";
    draft.rels["rIdXml"] = {"customXml", "../customXml/item1.xml", false};
    draft.parts["customXml/item1.xml"] = {"", "<root><abstract>" + value + "</abstract></root>"};
    draft.parts["customXml/itemProps1.xml"] = {
        "application/vnd.openxmlformats-officedocument.customXmlProperties+xml",
        "<ds:datastoreItem ds:itemID=\"" + itemId +
            "\" xmlns:ds=\"http://schemas.openxmlformats.org/officeDocument/2006/customXml\">"
            "<ds:schemaRefs/></ds:datastoreItem>"};
    draft.partRels["customXml/item1.xml"] = {{"rId1", {"customXmlProps", "itemProps1.xml"}}};
    return draft;
}

TEST_F(WriterIntentTest, LibreOfficeShowsThePlaceholderOfAControlWhoseDataIsEmptyEitherWayRound) {
    // LibreOffice fills a bound control whose own data is empty from any custom XML that has a
    // value at its path: joined, another document's abstract would replace the placeholder.
    const std::string own = write(
        "own.docx", abstractDoc("{11111111-2222-3333-4444-555555555555}", "", "Placeholdertext"));
    const std::string other =
        write("other.docx", abstractDoc("{66666666-7777-8888-9999-000000000000}", "Otherabstract",
                                        "Otherabstract"));
    expectWordWhereItStandsAlone(own, other, "Placeholdertext");
}

} // namespace
} // namespace paperloom::engine::testing
