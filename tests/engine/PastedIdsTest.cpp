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

} // namespace
} // namespace paperloom::engine::testing
