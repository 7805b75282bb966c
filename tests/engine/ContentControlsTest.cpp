// What content controls bound to data show after a join: the custom XML behind them travels
// with its document, and those bound to a document's own properties keep showing its values.
#include "EngineFixture.h"
#include "StructuralCheck.h"

#include "engine/package/Xml.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace paperloom::engine::testing {
namespace {

using ContentControlsTest = EngineFixture;

constexpr const char* kWml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";

std::vector<pugi::xml_node> elements(const pugi::xml_node& root, const char* name) {
    std::vector<pugi::xml_node> found;
    forEachElement(root, [&](pugi::xml_node element) {
        if (std::strcmp(element.name(), name) == 0) {
            found.push_back(element);
        }
        return true;
    });
    return found;
}

constexpr const char* kItemId = "{11111111-2222-3333-4444-555555555555}";

DocDraft boundDoc(const std::string& name) {
    DocDraft draft;
    auto control = [](const std::string& id, const std::string& binding, const std::string& text) {
        return "<w:sdt><w:sdtPr><w:id w:val=\"" + id + "\"/><w:dataBinding " + binding +
               "/></w:sdtPr><w:sdtContent><w:p><w:r><w:t>" + text +
               "</w:t></w:r></w:p></w:sdtContent></w:sdt>";
    };
    draft.body =
        control("100", "w:xpath=\"/root/name\" w:storeItemID=\"" + std::string(kItemId) + "\"",
                "Name " + name) +
        control("101",
                "w:prefixMappings=\"xmlns:ns0='http://purl.org/dc/elements/1.1/' "
                "xmlns:ns1='http://schemas.openxmlformats.org/package/2006/metadata/"
                "core-properties'\" w:xpath=\"/ns1:coreProperties[1]/ns0:title[1]\" "
                "w:storeItemID=\"{6C3C8BC8-F283-45AE-878A-BAB7291924A1}\"",
                "Title " + name);
    draft.rels["rIdXml"] = {"customXml", "../customXml/item1.xml", false};
    draft.parts["customXml/item1.xml"] = {"", "<root><name>" + name + "</name></root>"};
    draft.parts["customXml/itemProps1.xml"] = {
        "application/vnd.openxmlformats-officedocument.customXmlProperties+xml",
        "<ds:datastoreItem ds:itemID=\"" + std::string(kItemId) +
            "\" xmlns:ds=\"http://schemas.openxmlformats.org/officeDocument/2006/customXml\">"
            "<ds:schemaRefs/></ds:datastoreItem>"};
    draft.partRels["customXml/item1.xml"] = {{"rId1", {"customXmlProps", "itemProps1.xml"}}};
    return draft;
}

TEST_F(ContentControlsTest, ContentControlsStayBoundToTheirOwnDocumentsData) {
    const std::string ann = write("ann.docx", boundDoc("Ann"));
    const Written out(join({ann, write("bob.docx", boundDoc("Bob")), ann}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    // The data behind each item id, found as a reader finds it.
    std::map<std::string, std::string> dataOf;
    for (const auto& [name, data] : out.package().parts) {
        if (name.rfind("customXml/itemProps", 0) == 0) {
            const auto props = out.xml(name);
            const std::string id = props.document_element().attribute("ds:itemID").value();
            const std::string item = "customXml/item" + name.substr(19);
            dataOf[id] = out.text(item);
        }
    }
    EXPECT_EQ(dataOf.size(), 2u); // the third document's data equals the first's: shared
    const auto doc = out.document();
    const auto controls = elements(doc.document_element(), "w:sdt");
    ASSERT_EQ(controls.size(), 6u);
    std::vector<std::string> ids;
    for (const auto& control : controls) {
        const auto pr = control.child("w:sdtPr");
        ids.emplace_back(pr.child("w:id").attribute("w:val").value());
        const std::string store = pr.child("w:dataBinding").attribute("w:storeItemID").value();
        const std::string text = textOf(control.child("w:sdtContent"));
        if (text.rfind("Title", 0) == 0) {
            // Bound to properties its document does not have: it shows what it showed, unbound.
            EXPECT_FALSE(pr.child("w:dataBinding"));
            continue;
        }
        ASSERT_TRUE(dataOf.count(store)) << store;
        EXPECT_EQ(dataOf[store], "<root><name>" + text.substr(5) + "</name></root>");
    }
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), ids.size());
}

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

TEST_F(ContentControlsTest, ControlsBoundToTheDocumentsPropertiesKeepShowingItsOwnValues) {
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

} // namespace
} // namespace paperloom::engine::testing
