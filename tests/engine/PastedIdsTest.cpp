// Ids across notes, comments, drawings and styles: whatever ids and declarations a source uses,
// a join names only what exists and repeats no id.
#include "EngineFixture.h"
#include "StructuralCheck.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <cstring>
#include <map>

namespace paperloom::engine::testing {
namespace {

using PastedIdsTest = EngineFixture;

constexpr const char* kWml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";
constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

/// The text of each element named element under root, by its w:id.
std::map<std::string, std::string> textsById(const pugi::xml_node& root, const char* element) {
    std::map<std::string, std::string> texts;
    for (auto child : root.children(element)) {
        EXPECT_EQ(texts.count(child.attribute("w:id").value()), 0u)
            << element << " id " << child.attribute("w:id").value() << " repeats";
        texts[child.attribute("w:id").value()] = textOf(child);
    }
    return texts;
}

/// What the references of this name in the body point to, in reading order.
std::vector<std::string> referencedTexts(const Written& out, const char* reference,
                                         const std::map<std::string, std::string>& texts) {
    std::vector<std::string> found;
    const auto doc = out.document();
    for (const auto& id : attributeValues(doc.document_element(), reference, "w:id")) {
        const auto it = texts.find(id);
        found.push_back(it == texts.end() ? "(missing " + id + ")" : it->second);
    }
    return found;
}

TEST_F(PastedIdsTest, SeparatorsNumberedFromZeroAndTheirNotesGetIdsOfTheirOwn) {
    // Separators 0 and 1 (as some producers write them) and notes above them; joined after a
    // plain document and after itself, no note may share an id with a separator, and a
    // reference to a note the document lacks may not come to name another one.
    auto notes = [](const char* element, const char* text) {
        const std::string e = element;
        return "<w:" + e + " w:type=\"separator\" w:id=\"0\"><w:p><w:r><w:separator/></w:r>" +
               "</w:p></w:" + e + "><w:" + e + " w:type=\"continuationSeparator\" w:id=\"1\">" +
               "<w:p><w:r><w:continuationSeparator/></w:r></w:p></w:" + e + "><w:" + e +
               " w:id=\"2\"><w:p><w:r><w:t>" + text + "</w:t></w:r></w:p></w:" + e + ">";
    };
    DocDraft draft;
    draft.body = "<w:p><w:r><w:t>x</w:t></w:r><w:r><w:footnoteReference w:id=\"2\"/></w:r>"
                 "<w:r><w:endnoteReference w:id=\"2\"/></w:r>"
                 "<w:r><w:footnoteReference w:id=\"7\"/></w:r></w:p>"; // 7: no such note
    draft.footnotes = notes("footnote", "foot");
    draft.endnotes = notes("endnote", "end");
    draft.settings = "<w:footnotePr><w:footnote w:id=\"0\"/><w:footnote w:id=\"1\"/>"
                     "</w:footnotePr><w:endnotePr><w:endnote w:id=\"0\"/><w:endnote w:id=\"1\"/>"
                     "</w:endnotePr>";
    const std::string source = write("notes.docx", draft);
    const std::string plain = write("plain.docx", DocDraft());
    for (const auto& inputs : {std::vector<std::string>{source, source},
                               std::vector<std::string>{plain, source, source}}) {
        const Written out(join(inputs));
        EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
        const auto foot = textsById(out.xml("word/footnotes.xml").document_element(), "w:footnote");
        const auto end = textsById(out.xml("word/endnotes.xml").document_element(), "w:endnote");
        EXPECT_EQ(referencedTexts(out, "w:footnoteReference", foot),
                  (std::vector<std::string>{"foot", "foot"}));
        EXPECT_EQ(referencedTexts(out, "w:endnoteReference", end),
                  (std::vector<std::string>{"end", "end"}));
    }
}

TEST_F(PastedIdsTest, CommentIdsASourceRepeatsOrLacksComeOutUniqueAndAnswered) {
    // Two comments share id 0 and each has a reference of that id; a range and a reference
    // name comment 9, which the document does not have.
    DocDraft draft;
    draft.body = "<w:p><w:commentRangeStart w:id=\"0\"/><w:r><w:t>a</w:t></w:r>"
                 "<w:commentRangeEnd w:id=\"0\"/><w:r><w:commentReference w:id=\"0\"/></w:r>"
                 "<w:commentRangeStart w:id=\"9\"/><w:r><w:t>b</w:t></w:r>"
                 "<w:commentRangeEnd w:id=\"9\"/><w:r><w:commentReference w:id=\"9\"/></w:r>"
                 "<w:r><w:commentReference w:id=\"0\"/></w:r>"
                 "<w:r><w:commentReference w:id=\"1\"/></w:r></w:p>";
    auto comment = [](const char* id, const char* text) {
        return std::string("<w:comment w:id=\"") + id + "\" w:author=\"A\"><w:p><w:r><w:t>" + text +
               "</w:t></w:r></w:p></w:comment>";
    };
    draft.comments = comment("0", "first") + comment("0", "second") + comment("1", "third");
    const std::string source = write("comments.docx", draft);
    const Written out(join({source, source}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});
    const auto comments = textsById(out.xml("word/comments.xml").document_element(), "w:comment");
    EXPECT_EQ(comments.size(), 6u);
    EXPECT_EQ(referencedTexts(out, "w:commentReference", comments),
              (std::vector<std::string>{"first", "second", "third", "first", "second", "third"}));
    EXPECT_EQ(out.paragraphs(), (std::vector<std::string>{"ab", "ab", ""}));
}

TEST_F(PastedIdsTest, RelationshipIdsAreFoundWhereverTheirNamespaceIsDeclared) {
    // A drawing's hyperlinks declare the relationships namespace themselves, under a prefix of
    // their own; one of them leads to a bookmark through a relationship written as a part
    // name. The footer binds the namespace to another prefix on its document element.
    DocDraft draft;
    draft.body =
        "<w:p><w:bookmarkStart w:id=\"1\" w:name=\"Mark\"/><w:r><w:t>top</w:t></w:r>"
        "<w:bookmarkEnd w:id=\"1\"/><w:r><w:drawing><wp:inline><wp:extent cx=\"1\" cy=\"1\"/>"
        "<wp:docPr id=\"1\" name=\"p\"><a:hlinkClick xmlns:rel=\"" +
        std::string(kRelNs) + "\" rel:id=\"rIdWeb\"/><a:hlinkHover xmlns:rel=\"" + kRelNs +
        "\" rel:id=\"rIdMark\"/></wp:docPr></wp:inline></w:drawing></w:r></w:p>";
    draft.sectPr = "<w:sectPr><w:footerReference w:type=\"default\" r:id=\"rIdFooter\"/>"
                   "<w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>";
    draft.rels["rIdWeb"] = {"hyperlink", "https://web.example/", true};
    draft.rels["rIdMark"] = {"hyperlink", "#Mark", false};
    draft.rels["rIdFooter"] = {"footer", "footer1.xml", false};
    draft.parts["word/footer1.xml"] = {
        std::string(kWml) + "footer+xml",
        "<w:ftr xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
        "xmlns:rr=\"" +
            std::string(kRelNs) +
            "\"><w:p><w:hyperlink rr:id=\"rIdSite\"><w:r><w:t>site</w:t></w:r></w:hyperlink>"
            "</w:p></w:ftr>"};
    draft.partRels["word/footer1.xml"]["rIdSite"] = {"hyperlink", "https://site.example/", true};
    const std::string source = write("links.docx", draft);
    const Written out(join({write("plain.docx", DocDraft()), source, source}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});

    const auto doc = out.document();
    std::vector<std::string> clicks;
    std::vector<std::string> hovers;
    forEachElement(doc.document_element(), [&](pugi::xml_node element) {
        const std::string name = element.name();
        if (name == "a:hlinkClick" || name == "a:hlinkHover") {
            (name == "a:hlinkClick" ? clicks : hovers)
                .push_back(out.relTarget(element.attribute("rel:id").value()));
        }
        return true;
    });
    EXPECT_EQ(clicks, (std::vector<std::string>{"https://web.example/", "https://web.example/"}));
    // The second copy's bookmark was renamed; its link follows it.
    EXPECT_EQ(hovers, (std::vector<std::string>{"#Mark", "#Mark_2"}));
    EXPECT_EQ(attributeValues(doc.document_element(), "w:bookmarkStart", "w:name"),
              (std::vector<std::string>{"Mark", "Mark_2"}));
}

TEST_F(PastedIdsTest, StylesNamedInFootersNotesAndCommentsAreDefinedOrNotNamed) {
    // The footer's style is part of a basedOn cycle; the footnote and the comment name styles
    // the document does not define.
    DocDraft draft;
    draft.styles = "<w:style w:type=\"paragraph\" w:styleId=\"FooterText\"><w:name "
                   "w:val=\"Footer Text\"/><w:basedOn w:val=\"Loop\"/><w:rPr><w:color "
                   "w:val=\"00FF00\"/></w:rPr></w:style><w:style w:type=\"paragraph\" "
                   "w:styleId=\"Loop\"><w:name w:val=\"Loop\"/><w:basedOn w:val=\"FooterText\"/>"
                   "</w:style>";
    draft.body = "<w:p><w:r><w:t>x</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r>"
                 "<w:commentRangeStart w:id=\"0\"/><w:r><w:t>y</w:t></w:r>"
                 "<w:commentRangeEnd w:id=\"0\"/><w:r><w:commentReference w:id=\"0\"/></w:r></w:p>";
    draft.footnotes = "<w:footnote w:id=\"1\"><w:p><w:pPr><w:pStyle w:val=\"FootnoteText\"/>"
                      "</w:pPr><w:r><w:rPr><w:rStyle w:val=\"FootnoteReference\"/></w:rPr>"
                      "<w:footnoteRef/></w:r><w:r><w:t>note</w:t></w:r></w:p></w:footnote>";
    draft.comments = "<w:comment w:id=\"0\" w:author=\"A\"><w:p><w:pPr><w:pStyle "
                     "w:val=\"CommentText\"/></w:pPr><w:r><w:t>said</w:t></w:r></w:p></w:comment>";
    draft.sectPr = "<w:sectPr><w:footerReference w:type=\"default\" r:id=\"rIdFooter\"/>"
                   "<w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>";
    draft.rels["rIdFooter"] = {"footer", "footer1.xml", false};
    draft.parts["word/footer1.xml"] = {
        std::string(kWml) + "footer+xml",
        "<w:ftr xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:p>"
        "<w:pPr><w:pStyle w:val=\"FooterText\"/></w:pPr><w:r><w:t>page</w:t></w:r></w:p>"
        "</w:ftr>"};
    DocDraft plain;
    plain.styles = "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
                   "w:val=\"Normal\"/></w:style>";
    const Written out(join({write("plain.docx", plain), write("styled.docx", draft)}));
    EXPECT_EQ(structuralProblems(out.package()), std::vector<std::string>{});

    const auto styles = out.xml("word/styles.xml");
    std::string footerColour;
    for (auto style : styles.document_element().children("w:style")) {
        if (std::strcmp(style.attribute("w:styleId").value(), "FooterText") == 0) {
            footerColour = style.child("w:rPr").child("w:color").attribute("w:val").value();
        }
    }
    EXPECT_EQ(footerColour, "00FF00");
    EXPECT_EQ(textOf(out.xml("word/footnotes.xml").document_element()), "note");
}

TEST_F(PastedIdsTest, FloatingShapesOfEachDocumentStackInARangeOfTheirOwnInTheirOwnOrder) {
    // Readers place each floating shape among those read before by its stacking position;
    // where documents share a range, one document's shapes land among another's.
    auto anchor = [](int height) {
        return "<w:r><w:drawing><wp:anchor relativeHeight=\"" + std::to_string(height) +
               "\" behindDoc=\"1\"><wp:docPr id=\"1\" name=\"a\"/></wp:anchor></w:drawing></w:r>";
    };
    auto rect = [](const std::string& zIndex) {
        return "<w:r><w:pict><v:rect style=\"position:absolute;z-index:" + zIndex +
               ";width:10pt\"/></w:pict></w:r>";
    };
    DocDraft leader;
    leader.body = "<w:p>" + anchor(251660288) + rect("251650000") + "</w:p>";
    DocDraft later;
    later.body = "<w:p>" + rect("251644923") + rect("-251653120") + anchor(251650000) +
                 rect("auto") + "</w:p>";
    DocDraft topmost; // cannot move above the others without leaving the 32-bit range
    topmost.body = "<w:p>" + rect("2147483000") + "</w:p>";
    const Written out(join({write("leader.docx", leader), write("later.docx", later),
                            write("topmost.docx", topmost), write("again.docx", later)}));
    std::vector<long long> positions;
    const auto document = out.document();
    forEachElement(document.document_element(), [&](pugi::xml_node element) {
        const std::string style = element.attribute("style").value();
        if (const auto at = style.find("z-index:"); at != std::string::npos) {
            const std::string value = style.substr(at + 8, style.find(';', at) - at - 8);
            positions.push_back(value == "auto" ? 0 : std::stoll(value));
        } else if (element.attribute("relativeHeight")) {
            positions.push_back(element.attribute("relativeHeight").as_llong());
        }
        return true;
    });
    const long long shift = 251660288 + 1 - 251644923; // the later one's least above the leader's
    EXPECT_EQ(positions,
              (std::vector<long long>{251660288, 251650000, // leader
                                      251644923 + shift, -251653120, 251650000 + shift,
                                      0,          // later, behind the text as it was
                                      2147483000, // as it was
                                      251644923, -251653120, 251650000, 0})); // no room above
}

TEST_F(PastedIdsTest, LibreOfficeStacksADocumentsShapesAsAloneAfterAPictureInAFloatingTable) {
    // A white rectangle over a black one; the other document's picture, in a floating table,
    // stacks above both. LibreOffice put the black one on top when the positions interleaved.
    auto rect = [](const char* zIndex, const char* fill) {
        return std::string("<w:r><w:pict><v:rect style=\"position:absolute;margin-left:100pt;"
                           "margin-top:100pt;width:200pt;height:100pt;z-index:") +
               zIndex +
               ";mso-position-horizontal-relative:page;mso-position-vertical-relative:page\" "
               "fillcolor=\"" +
               fill + "\" stroked=\"f\"/></w:pict></w:r>";
    };
    DocDraft shapes;
    shapes.body = "<w:p>" + rect("251644923", "#000000") + rect("251654140", "#ffffff") + "</w:p>";
    shapes.sectPr = section("");
    DocDraft picture;
    picture.body =
        "<w:tbl><w:tblPr><w:tblpPr w:vertAnchor=\"page\" w:horzAnchor=\"page\" w:tblpX=\"1000\" "
        "w:tblpY=\"721\"/><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid><w:gridCol "
        "w:w=\"5040\"/></w:tblGrid><w:tr><w:tc><w:p><w:r><w:drawing><wp:anchor distT=\"0\" "
        "distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" relativeHeight=\"251660288\" "
        "behindDoc=\"1\" locked=\"0\" layoutInCell=\"0\" allowOverlap=\"1\"><wp:simplePos x=\"0\" "
        "y=\"0\"/><wp:positionH relativeFrom=\"page\"><wp:posOffset>1270000</wp:posOffset>"
        "</wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>5000000</wp:posOffset>"
        "</wp:positionV><wp:extent cx=\"2540000\" cy=\"635000\"/><wp:wrapNone/><wp:docPr id=\"1\" "
        "name=\"Picture 1\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/"
        "drawingml/2006/picture\"><pic:pic><pic:nvPicPr><pic:cNvPr id=\"0\" name=\"p.png\"/>"
        "<pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:embed=\"rIdP\"/><a:stretch>"
        "<a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext "
        "cx=\"2540000\" cy=\"635000\"/></a:xfrm><a:prstGeom prst=\"rect\"/></pic:spPr></pic:pic>"
        "</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p></w:tc></w:tr></w:tbl>"
        "<w:p/>";
    picture.sectPr = section("");
    picture.rels["rIdP"] = {"image", "media/p.png", false};
    const std::string grey1x1("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\0\0\0\0"
                              ":~\x9bU\0\0\0\nIDATx\x9c"
                              "c8\0\0\0\xc2\0\xc1R^WQ\0\0\0\0IEND\xae"
                              "B`\x82",
                              67);
    picture.parts["word/media/p.png"] = {"", grey1x1};
    const std::string own = write("shapes.docx", shapes);
    const std::string other = write("picture.docx", picture);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    ASSERT_EQ(renderBothWaysRound(own, other), "");
    const double x = 200.0 / 595, y = 150.0 / 842; // in both rectangles, beside the table
    ASSERT_EQ(pdfPageGreys(pdfOf(own), x, y), std::vector<int>{255});
    EXPECT_EQ(pdfPageGreys(pdfOf("ownfirst"), x, y), (std::vector<int>{255, 255}));
    EXPECT_EQ(pdfPageGreys(pdfOf("otherfirst"), x, y), (std::vector<int>{255, 255}));
}

} // namespace
} // namespace paperloom::engine::testing
