// What a join keeps of the parts around the body: comment threads, notes, charts, custom XML
// behind content controls, fields, embedded fonts, text boxes and OLE objects; every output
// passes the structural check.
#include "EngineFixture.h"
#include "StructuralCheck.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

namespace paperloom::engine::testing {
namespace {

using PartsJoinTest = EngineFixture;

constexpr const char* kWml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";
constexpr const char* kMsRels = "http://schemas.microsoft.com/office/";

/// The part a relationship of owner points to, by id ("" when there is none).
std::string relatedPart(const Written& out, const std::string& owner, const std::string& id) {
    const std::string relsName = relsPartName(owner);
    if (!out.has(relsName)) {
        return {};
    }
    const auto rels = Relationships::parse(out.text(relsName), relsName);
    const Relationship* rel = rels.byId(id);
    return rel == nullptr || rel->external ? std::string() : resolvePartName(owner, rel->target);
}

template <typename T> bool allUnique(const std::vector<T>& values) {
    return std::set<T>(values.begin(), values.end()).size() == values.size();
}

// ------------------------------------------------------------------------------ comments

/// A paragraph with two comments, the second a reply to the first, with every part around them.
/// All ids (comment, w14:paraId, durableId) are the same in every document made here, and the
/// body paragraph repeats the first comment's paraId, so a join must renumber.
DocDraft commentedDoc(const std::string& author, const std::string& replier) {
    DocDraft draft;
    draft.body = "<w:p w14:paraId=\"00000010\"><w:commentRangeStart w:id=\"0\"/><w:r><w:t>" +
                 author +
                 " text</w:t></w:r><w:commentRangeEnd w:id=\"0\"/><w:r><w:commentReference "
                 "w:id=\"0\"/></w:r><w:r><w:commentReference w:id=\"1\"/></w:r></w:p>";
    draft.comments = "<w:comment w:id=\"0\" w:author=\"" + author +
                     "\"><w:p w14:paraId=\"00000010\"><w:r><w:t>" + author +
                     " says</w:t></w:r></w:p></w:comment><w:comment w:id=\"1\" w:author=\"" +
                     replier + "\"><w:p w14:paraId=\"00000011\"><w:r><w:t>" + replier +
                     " replies</w:t></w:r></w:p></w:comment>";
    const std::string w15 = " xmlns:w15=\"http://schemas.microsoft.com/office/word/2012/wordml\"";
    auto side = [&](const std::string& kind, const std::string& relType, const std::string& xml) {
        draft.rels["rId" + kind] = {kMsRels + relType, kind + ".xml", false};
        draft.parts["word/" + kind + ".xml"] = {std::string(kWml) + kind + "+xml", xml};
    };
    side("commentsExtended", "2011/relationships/commentsExtended",
         "<w15:commentsEx" + w15 +
             "><w15:commentEx w15:paraId=\"00000010\" w15:done=\"0\"/><w15:commentEx "
             "w15:paraId=\"00000011\" w15:paraIdParent=\"00000010\" w15:done=\"1\"/>"
             "</w15:commentsEx>");
    side("commentsIds", "2016/09/relationships/commentsIds",
         "<w16cid:commentsIds "
         "xmlns:w16cid=\"http://schemas.microsoft.com/office/word/2016/wordml/cid\">"
         "<w16cid:commentId w16cid:paraId=\"00000010\" w16cid:durableId=\"11111111\"/>"
         "<w16cid:commentId w16cid:paraId=\"00000011\" w16cid:durableId=\"22222222\"/>"
         "</w16cid:commentsIds>");
    side("commentsExtensible", "2018/08/relationships/commentsExtensible",
         "<w16cex:commentsExtensible "
         "xmlns:w16cex=\"http://schemas.microsoft.com/office/word/2018/wordml/cex\">"
         "<w16cex:commentExtensible w16cex:durableId=\"11111111\" "
         "w16cex:dateUtc=\"2024-01-01T00:00:00Z\"/><w16cex:commentExtensible "
         "w16cex:durableId=\"22222222\" w16cex:dateUtc=\"2024-01-02T00:00:00Z\"/>"
         "</w16cex:commentsExtensible>");
    side("people", "2011/relationships/people",
         "<w15:people" + w15 + "><w15:person w15:author=\"" + author +
             "\"><w15:presenceInfo w15:providerId=\"None\" w15:userId=\"" + author +
             "\"/></w15:person><w15:person w15:author=\"" + replier +
             "\"><w15:presenceInfo w15:providerId=\"None\" w15:userId=\"" + replier +
             "\"/></w15:person></w15:people>");
    return draft;
}

TEST_F(PartsJoinTest, CommentsKeepTheirTextAuthorsThreadsAndDurableIds) {
    const std::string annBob = write("ab.docx", commentedDoc("Ann", "Bob"));
    const Written out(join({annBob, write("ca.docx", commentedDoc("Cy", "Ann")), annBob}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});

    const auto comments = out.xml("word/comments.xml");
    std::map<std::string, pugi::xml_node> byId;
    for (auto comment : comments.document_element().children("w:comment")) {
        byId[comment.attribute("w:id").value()] = comment;
    }
    ASSERT_EQ(byId.size(), 6u);
    const auto ext = out.xml("word/commentsExtended.xml");
    std::map<std::string, pugi::xml_node> threadByPara;
    for (auto entry : ext.document_element().children("w15:commentEx")) {
        threadByPara[entry.attribute("w15:paraId").value()] = entry;
    }
    const auto doc = out.document();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Ann says", "Bob replies"}, {"Cy says", "Ann replies"}, {"Ann says", "Bob replies"}};
    const auto paragraphs = elements(doc.document_element(), "w:p");
    std::vector<pugi::xml_node> commented;
    std::copy_if(paragraphs.begin(), paragraphs.end(), std::back_inserter(commented),
                 [](const pugi::xml_node& p) { return p.select_node(".//w:commentReference"); });
    ASSERT_EQ(commented.size(), expected.size());
    for (std::size_t i = 0; i < commented.size(); ++i) {
        SCOPED_TRACE(i);
        const auto refs = attributeValues(commented[i], "w:commentReference", "w:id");
        ASSERT_EQ(refs.size(), 2u);
        ASSERT_TRUE(byId.count(refs[0]) && byId.count(refs[1]));
        const auto first = byId[refs[0]];
        const auto reply = byId[refs[1]];
        EXPECT_EQ(textOf(first), expected[i].first);
        EXPECT_EQ(textOf(reply), expected[i].second);
        EXPECT_EQ(textOf(first).substr(0, textOf(first).find(' ')),
                  first.attribute("w:author").value());
        // The reply is still a reply to the comment of its own document.
        const std::string firstPara = first.child("w:p").attribute("w14:paraId").value();
        const std::string replyPara = reply.child("w:p").attribute("w14:paraId").value();
        ASSERT_TRUE(threadByPara.count(replyPara)) << replyPara;
        EXPECT_EQ(threadByPara[replyPara].attribute("w15:paraIdParent").value(), firstPara);
        EXPECT_STREQ(threadByPara[replyPara].attribute("w15:done").value(), "1");
        EXPECT_FALSE(threadByPara[firstPara].attribute("w15:paraIdParent"));
    }
    const auto ids = out.xml("word/commentsIds.xml");
    const auto durable =
        attributeValues(ids.document_element(), "w16cid:commentId", "w16cid:durableId");
    EXPECT_EQ(durable.size(), 6u);
    EXPECT_TRUE(allUnique(durable));
    const auto extensible = out.xml("word/commentsExtensible.xml");
    EXPECT_EQ(attributeValues(extensible.document_element(), "w16cex:commentExtensible",
                              "w16cex:durableId")
                  .size(),
              6u);
    const auto people = out.xml("word/people.xml");
    auto authors = attributeValues(people.document_element(), "w15:person", "w15:author");
    std::sort(authors.begin(), authors.end());
    EXPECT_EQ(authors, (std::vector<std::string>{"Ann", "Bob", "Cy"}));
}

// ------------------------------------------------------------------------------ notes

std::string pngBytes(char marker) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    png += std::string(64, marker);
    return png;
}

std::string pictureRun(const std::string& relId, int docPrId) {
    return "<w:r><w:drawing><wp:inline><wp:extent cx=\"100\" cy=\"100\"/><wp:docPr id=\"" +
           std::to_string(docPrId) +
           "\" name=\"Picture\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats."
           "org/drawingml/2006/picture\"><pic:pic><pic:blipFill><a:blip r:embed=\"" +
           relId +
           "\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline>"
           "</w:drawing></w:r>";
}

DocDraft notesDoc(char marker) {
    const std::string m(1, marker);
    DocDraft draft;
    const std::string separators =
        "<w:%s w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p></w:%s>"
        "<w:%s w:type=\"continuationSeparator\" w:id=\"0\"><w:p><w:r><w:continuationSeparator/>"
        "</w:r></w:p></w:%s>";
    auto notes = [&](const std::string& kind) {
        std::string text = separators;
        for (auto at = text.find("%s"); at != std::string::npos; at = text.find("%s")) {
            text.replace(at, 2, kind);
        }
        return text;
    };
    draft.footnotes = notes("footnote") + "<w:footnote w:id=\"1\"><w:p>" + pictureRun("rId1", 1) +
                      "<w:r><w:t>" + m + " footnote</w:t></w:r></w:p></w:footnote>";
    draft.footnoteRels["rId1"] = {"image", "media/image1.png", false};
    draft.parts["word/media/image1.png"] = {"", pngBytes(marker)};
    draft.body = "<w:p><w:r><w:t>" + m +
                 " body</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r><w:r>"
                 "<w:endnoteReference w:id=\"1\"/></w:r></w:p>";
    draft.endnotes = notes("endnote") + "<w:endnote w:id=\"1\"><w:p><w:r><w:t>" + m +
                     " endnote</w:t></w:r></w:p></w:endnote>";
    return draft;
}

TEST_F(PartsJoinTest, EndnotesAndPicturesInFootnotesStayWithTheirDocument) {
    const Written out(join({write("a.docx", notesDoc('A')), write("b.docx", notesDoc('B'))}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto doc = out.document();
    for (const char* kind : {"footnote", "endnote"}) {
        SCOPED_TRACE(kind);
        const std::string part = std::string("word/") + kind + "s.xml";
        const auto notes = out.xml(part);
        std::map<std::string, pugi::xml_node> byId;
        int separators = 0;
        const std::string element = std::string("w:") + kind;
        for (auto note : notes.document_element().children(element.c_str())) {
            byId[note.attribute("w:id").value()] = note;
            separators += note.attribute("w:type") ? 1 : 0;
        }
        EXPECT_EQ(separators, 2);
        const auto refs = attributeValues(doc.document_element(),
                                          (std::string("w:") + kind + "Reference").c_str(), "w:id");
        ASSERT_EQ(refs.size(), 2u);
        for (std::size_t i = 0; i < refs.size(); ++i) {
            const std::string marker(1, static_cast<char>('A' + i));
            ASSERT_TRUE(byId.count(refs[i]));
            EXPECT_EQ(textOf(byId[refs[i]]), marker + " " + kind);
            if (std::strcmp(kind, "footnote") == 0) {
                const std::string embed =
                    byId[refs[i]].select_node(".//a:blip").node().attribute("r:embed").value();
                const std::string image = relatedPart(out, part, embed);
                ASSERT_FALSE(image.empty()) << embed;
                EXPECT_EQ(out.text(image), pngBytes(marker[0]));
            }
        }
    }
}

// ------------------------------------------------------------------------------ charts

DocDraft chartDoc(const std::string& marker) {
    DocDraft draft;
    const std::string c = "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"";
    draft.body = "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"100\" cy=\"100\"/><wp:docPr "
                 "id=\"1\" name=\"Chart 1\"/><a:graphic><a:graphicData uri=\"http://schemas."
                 "openxmlformats.org/drawingml/2006/chart\"><c:chart " +
                 c +
                 " r:id=\"rId7\"/></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>"
                 "</w:p>" +
                 para(marker + " chart");
    draft.rels["rId7"] = {"chart", "charts/chart1.xml", false};
    draft.parts["word/charts/chart1.xml"] = {
        "application/vnd.openxmlformats-officedocument.drawingml.chart+xml",
        "<c:chartSpace " + c +
            " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<c:chart><c:autoTitleDeleted val=\"0\"/></c:chart><c:externalData r:id=\"rId1\"/>"
            "<!-- " +
            marker + " --></c:chartSpace>"};
    draft.partRels["word/charts/chart1.xml"] = {
        {"rId1", {"package", "../embeddings/Microsoft_Excel_Sheet1.xlsx", false}},
        {"rId2", {std::string(kMsRels) + "2011/relationships/chartColorStyle", "colors1.xml"}},
        {"rId3", {std::string(kMsRels) + "2011/relationships/chartStyle", "style1.xml"}}};
    draft.parts["word/embeddings/Microsoft_Excel_Sheet1.xlsx"] = {
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", marker + " workbook"};
    draft.parts["word/charts/colors1.xml"] = {"application/vnd.ms-office.chartcolorstyle+xml",
                                              "<cs:colorStyle xmlns:cs=\"http://schemas."
                                              "microsoft.com/office/drawing/2012/chartStyle\"/>"};
    draft.parts["word/charts/style1.xml"] = {"application/vnd.ms-office.chartstyle+xml",
                                             "<cs:chartStyle xmlns:cs=\"http://schemas."
                                             "microsoft.com/office/drawing/2012/chartStyle\"/>"};
    return draft;
}

TEST_F(PartsJoinTest, ChartsFromTwoDocumentsKeepTheirOwnWorkbooksAndStyles) {
    const Written out(join({write("a.docx", chartDoc("A")), write("b.docx", chartDoc("B"))}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto doc = out.document();
    const auto charts = attributeValues(doc.document_element(), "c:chart", "r:id");
    ASSERT_EQ(charts.size(), 2u);
    std::set<std::string> parts;
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const std::string marker(1, static_cast<char>('A' + i));
        const std::string chart = relatedPart(out, "word/document.xml", charts[i]);
        ASSERT_FALSE(chart.empty());
        parts.insert(chart);
        EXPECT_NE(out.text(chart).find("<!-- " + marker + " -->"), std::string::npos) << chart;
        const std::string book = relatedPart(out, chart, "rId1");
        ASSERT_FALSE(book.empty());
        parts.insert(book);
        EXPECT_EQ(out.text(book), marker + " workbook");
        for (const char* styleRel : {"rId2", "rId3"}) {
            const std::string style = relatedPart(out, chart, styleRel);
            EXPECT_TRUE(!style.empty() && out.has(style)) << styleRel;
            parts.insert(style);
        }
    }
    EXPECT_EQ(parts.size(), 8u); // nothing of one chart was overwritten by the other's
}

// ------------------------------------------------------------------------------ content controls

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

TEST_F(PartsJoinTest, ContentControlsStayBoundToTheirOwnDocumentsData) {
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
    EXPECT_TRUE(allUnique(ids));
}

// ------------------------------------------------------------------------------ fields

DocDraft fieldsDoc(const std::string& chapter) {
    DocDraft draft;
    auto run = [](const std::string& inner) { return "<w:r>" + inner + "</w:r>"; };
    auto fldChar = [&](const char* type) {
        return run(std::string("<w:fldChar w:fldCharType=\"") + type + "\"/>");
    };
    auto instr = [&](const std::string& text) {
        return run("<w:instrText xml:space=\"preserve\">" + text + "</w:instrText>");
    };
    // A table of contents whose page reference is split after the field's name.
    draft.body =
        "<w:p>" + fldChar("begin") + instr(" TOC \\o \"1-3\" \\h ") + fldChar("separate") +
        "<w:hyperlink w:anchor=\"_Toc100\">" + run("<w:t>" + chapter + "</w:t>") +
        fldChar("begin") + instr(" PAGEREF ") + instr("_Toc100 \\h ") + fldChar("separate") +
        run("<w:t>1</w:t>") + fldChar("end") + "</w:hyperlink>" + fldChar("end") + "</w:p>" +
        "<w:p><w:bookmarkStart w:id=\"0\" w:name=\"_Toc100\"/>" +
        run("<w:t>" + chapter + "</w:t>") + "<w:bookmarkEnd w:id=\"0\"/></w:p>" +
        "<w:p><w:fldSimple w:instr=\" REF _Toc100 \\h \">" + run("<w:t>" + chapter + "</w:t>") +
        "</w:fldSimple></w:p>" + "<w:p><w:fldSimple w:instr=\" PAGE \"/></w:p>";
    return draft;
}

TEST_F(PartsJoinTest, TableOfContentsAndReferencesFollowARenamedBookmark) {
    const std::string path = write("fields.docx", fieldsDoc("Chapter"));
    const Written out(join({path, path}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto doc = out.document();
    const auto root = doc.document_element();
    const auto names = attributeValues(root, "w:bookmarkStart", "w:name");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "_Toc100");
    EXPECT_NE(names[1], "_Toc100");
    EXPECT_EQ(attributeValues(root, "w:hyperlink", "w:anchor"), names);
    std::vector<std::string> pageRefs;
    for (const auto& text : elements(root, "w:instrText")) {
        const std::string instr = text.text().get();
        if (instr.find("\\h") != std::string::npos && instr.find("TOC") == std::string::npos) {
            pageRefs.push_back(instr.substr(0, instr.find(' ')));
        }
    }
    EXPECT_EQ(pageRefs, names);
    const auto simple = attributeValues(root, "w:fldSimple", "w:instr");
    EXPECT_EQ(simple, (std::vector<std::string>{" REF _Toc100 \\h ", " PAGE ",
                                                " REF " + names[1] + " \\h ", " PAGE "}));
}

// ------------------------------------------------------------------------------ fonts

DocDraft fontDoc(const std::vector<std::string>& fonts) {
    DocDraft draft;
    draft.rels["rIdFonts"] = {"fontTable", "fontTable.xml", false};
    std::string table = "<w:fonts" + testNamespaces() + ">";
    int n = 0;
    for (const auto& font : fonts) {
        // "Name" names the font; "Name:kind" embeds data of that kind as well.
        const auto colon = font.find(':');
        table += "<w:font w:name=\"" + font.substr(0, colon) + "\"><w:family w:val=\"roman\"/>";
        if (colon != std::string::npos) {
            const std::string id = "rIdF" + std::to_string(++n);
            const std::string part = "fonts/font" + std::to_string(n) + ".odttf";
            table += "<w:embed" + font.substr(colon + 1) + " r:id=\"" + id + "\" w:fontKey=\"{" +
                     font.substr(0, 1) + "0000000-0000-0000-0000-000000000000}\"/>";
            draft.partRels["word/fontTable.xml"][id] = {"font", part};
            draft.parts["word/" + part] = {
                "application/vnd.openxmlformats-officedocument.obfuscatedFont", font + " data"};
        }
        table += "</w:font>";
    }
    draft.parts["word/fontTable.xml"] = {std::string(kWml) + "fontTable+xml", table + "</w:fonts>"};
    return draft;
}

TEST_F(PartsJoinTest, EmbeddedFontsOfEveryDocumentTravelWithTheirKeys) {
    const Written out(join({write("a.docx", fontDoc({"Alpha:Regular", "Shared"})),
                            write("b.docx", fontDoc({"Beta:Regular", "Shared:Bold"}))}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto table = out.xml("word/fontTable.xml");
    std::map<std::string, pugi::xml_node> fonts;
    for (auto font : table.document_element().children("w:font")) {
        EXPECT_EQ(fonts.count(font.attribute("w:name").value()), 0u);
        fonts[font.attribute("w:name").value()] = font;
    }
    for (const auto& [name, kind] : {std::pair{"Alpha", "Regular"}, std::pair{"Beta", "Regular"},
                                     std::pair{"Shared", "Bold"}}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(fonts.count(name));
        const auto embed = fonts[name].child((std::string("w:embed") + kind).c_str());
        ASSERT_TRUE(embed);
        EXPECT_EQ(std::string(embed.attribute("w:fontKey").value()).substr(0, 2),
                  std::string("{") + name[0]);
        const std::string part =
            relatedPart(out, "word/fontTable.xml", embed.attribute("r:id").value());
        ASSERT_FALSE(part.empty());
        EXPECT_EQ(out.text(part), std::string(name) + ":" + kind + " data");
    }
}

// ------------------------------------------------------------------------------ shapes

DocDraft shapesDoc(char marker) {
    const std::string m(1, marker);
    const std::string box = "<w:txbxContent><w:p w14:paraId=\"00000030\"><w:r><w:t>Boxed " + m +
                            "</w:t></w:r></w:p></w:txbxContent>";
    DocDraft draft;
    draft.body =
        "<w:p><w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wp:anchor "
        "distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" relativeHeight=\"1\" "
        "behindDoc=\"0\" locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\"><wp:simplePos x=\"0\" "
        "y=\"0\"/><wp:positionH relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset>"
        "</wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset>"
        "</wp:positionV><wp:extent cx=\"914400\" cy=\"457200\"/><wp:wrapNone/><wp:docPr id=\"1\" "
        "name=\"Text Box 1\"/><a:graphic><a:graphicData uri=\"http://schemas.microsoft.com/office/"
        "word/2010/wordprocessingShape\"><wps:wsp><wps:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext "
        "cx=\"914400\" cy=\"457200\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom>"
        "</wps:spPr><wps:txbx>" +
        box +
        "</wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing>"
        "</mc:Choice><mc:Fallback><w:pict><v:shapetype id=\"_x0000_t202\" "
        "coordsize=\"21600,21600\" o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\"><v:path "
        "gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype><v:shape id=\"Text Box 1\" "
        "o:spid=\"_x0000_s1026\" type=\"#_x0000_t202\" style=\"position:absolute;width:72pt;"
        "height:36pt\"><v:textbox>" +
        box +
        "</v:textbox></v:shape></w:pict></mc:Fallback></mc:AlternateContent></w:r></w:p>"
        "<w:p><w:r><w:object><v:shape id=\"_x0000_i1025\" type=\"#_x0000_t75\" "
        "style=\"width:50pt;height:40pt\" o:ole=\"\"><v:imagedata r:id=\"rIdEmf\" o:title=\"\"/>"
        "</v:shape><o:OLEObject Type=\"Embed\" ProgID=\"Package\" ShapeID=\"_x0000_i1025\" "
        "DrawAspect=\"Content\" ObjectID=\"_1\" r:id=\"rIdOle\"/></w:object></w:r></w:p>" +
        para(m + " after");
    draft.rels["rIdEmf"] = {"image", "media/image1.png", false};
    draft.parts["word/media/image1.png"] = {"", pngBytes(marker)};
    draft.rels["rIdOle"] = {"oleObject", "embeddings/oleObject1.bin", false};
    draft.parts["word/embeddings/oleObject1.bin"] = {
        "application/vnd.openxmlformats-officedocument.oleObject", m + " object"};
    return draft;
}

TEST_F(PartsJoinTest, TextBoxesAndObjectsKeepBothAlternativesWithUniqueIds) {
    const Written out(join({write("a.docx", shapesDoc('A')), write("b.docx", shapesDoc('B'))}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto doc = out.document();
    const auto root = doc.document_element();
    const auto choices = elements(root, "mc:Choice");
    const auto fallbacks = elements(root, "mc:Fallback");
    ASSERT_EQ(choices.size(), 2u);
    ASSERT_EQ(fallbacks.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string boxed = std::string("Boxed ") + static_cast<char>('A' + i);
        EXPECT_EQ(textOf(choices[i]), boxed);
        EXPECT_EQ(textOf(fallbacks[i]), boxed);
    }
    std::vector<std::string> shapes;
    for (const auto& shape : elements(root, "v:shape")) {
        shapes.emplace_back(shape.attribute("id").value());
    }
    EXPECT_EQ(shapes.size(), 4u);
    EXPECT_TRUE(allUnique(shapes));
    EXPECT_TRUE(allUnique(attributeValues(root, "v:shape", "o:spid")));
    const auto objects = elements(root, "w:object");
    ASSERT_EQ(objects.size(), 2u);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const std::string marker(1, static_cast<char>('A' + i));
        const auto ole = objects[i].child("o:OLEObject");
        EXPECT_STREQ(ole.attribute("ShapeID").value(),
                     objects[i].child("v:shape").attribute("id").value());
        const std::string part =
            relatedPart(out, "word/document.xml", ole.attribute("r:id").value());
        ASSERT_FALSE(part.empty());
        EXPECT_EQ(out.text(part), marker + " object");
    }
}

// ------------------------------------------------------------------------------ readers

bool haveProgram(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

TEST_F(PartsJoinTest, EverythingJoinedTogetherOpensInLibreOfficeAndPythonDocx) {
    std::vector<std::string> inputs = {write("ab.docx", commentedDoc("Ann", "Bob")),
                                       write("ca.docx", commentedDoc("Cy", "Ann")),
                                       write("na.docx", notesDoc('A')),
                                       write("nb.docx", notesDoc('B')),
                                       write("cha.docx", chartDoc("A")),
                                       write("chb.docx", chartDoc("B")),
                                       write("xa.docx", boundDoc("Ann")),
                                       write("xb.docx", boundDoc("Bob")),
                                       write("f.docx", fieldsDoc("Chapter")),
                                       write("f2.docx", fieldsDoc("Chapter")),
                                       write("fa.docx", fontDoc({"Alpha:Regular"})),
                                       write("fb.docx", fontDoc({"Beta:Bold"})),
                                       write("sa.docx", shapesDoc('A')),
                                       write("sb.docx", shapesDoc('B'))};
    const std::string output = join(inputs, JoinChoices{true, false});
    EXPECT_EQ(structuralProblems(std::filesystem::path(output)), std::vector<std::string>{});
    if (haveProgram("/usr/bin/python3")) {
        const std::string command = "/usr/bin/python3 -c 'import sys, docx; "
                                    "d = docx.Document(sys.argv[1]); [p.text for p in "
                                    "d.paragraphs]' '" +
                                    output + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << "python-docx refused " << output;
    }
    if (!haveProgram("soffice") || !haveProgram("timeout")) {
        GTEST_SKIP() << "LibreOffice is not installed";
    }
    const std::string command = "cd '" + dir.path().string() + "' && timeout 240 soffice " +
                                "-env:UserInstallation=file://" + (dir / "profile").string() +
                                " --headless --convert-to txt:Text --outdir '" +
                                (dir / "text").string() + "' '" + output + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(dir / "text" / "joined.txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* expected : {"Ann text", "Cy text", "A body", "B body", "A chart", "B chart",
                                 "Chapter", "A after", "B after"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    }
    // LibreOffice shows a bound control's data: each document's own.
    EXPECT_NE(text.find("\nAnn\n"), std::string::npos);
    EXPECT_NE(text.find("\nBob\n"), std::string::npos);
}

} // namespace
} // namespace paperloom::engine::testing
