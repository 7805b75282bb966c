// Section settings a renderer may read for the whole document: where endnotes stand, which
// sections number their lines, which headers and footers a later section inherits, which
// sections a form's protection covers, and the style that sets the footnotes area.
#include "EngineFixture.h"

#include "engine/package/Xml.h"

#include <cstring>
#include <string>
#include <vector>

namespace paperloom::engine::testing {
namespace {

using SectionSettingsTest = EngineFixture;

/// Gives draft a default header or footer (kind) of one paragraph; returns its reference.
std::string story(DocDraft& draft, const std::string& kind, const std::string& text) {
    const std::string root = kind == "header" ? "w:hdr" : "w:ftr";
    draft.rels["rId" + kind] = {kind, kind + ".xml", false};
    draft.parts["word/" + kind + ".xml"] = {
        "application/vnd.openxmlformats-officedocument.wordprocessingml." + kind + "+xml",
        "<" + root + testNamespaces() + ">" + para(text) + "</" + root + ">"};
    return "<w:" + kind + "Reference w:type=\"default\" r:id=\"rId" + kind + "\"/>";
}

TEST_F(SectionSettingsTest, EachDocumentsEndnotesStayAfterItsOwnTextWhereverItStands) {
    const std::string separators =
        "<w:endnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p>"
        "</w:endnote><w:endnote w:type=\"continuationSeparator\" w:id=\"0\"><w:p><w:r>"
        "<w:continuationSeparator/></w:r></w:p></w:endnote>";
    const auto withEndnote = [&](const std::string& settings) {
        DocDraft draft;
        draft.body = "<w:p><w:r><w:t>noted</w:t></w:r><w:r><w:endnoteReference w:id=\"1\"/>"
                     "</w:r></w:p><w:p><w:pPr>" +
                     section("") + "</w:pPr></w:p>" + para("second section");
        draft.sectPr = section("");
        draft.endnotes = separators + "<w:endnote w:id=\"1\">" + para("the note") + "</w:endnote>";
        draft.settings = settings;
        return draft;
    };
    DocDraft plain;
    plain.body = para("plain");
    plain.sectPr = section("");
    const std::string plainPath = write("plain.docx", plain);
    const std::string atEnd = write("at-end.docx", withEndnote(""));
    const std::string perSection =
        write("per-section.docx", withEndnote("<w:endnotePr><w:pos w:val=\"sectEnd\"/>"
                                              "</w:endnotePr>"));
    // Which sections hold back their endnotes for the next one, for each order.
    for (const auto& [inputs, suppressed] :
         {std::pair<std::vector<std::string>, std::string>{{plainPath, atEnd, perSection}, "-+---"},
          {{atEnd, plainPath}, "---"}}) {
        const Written out(join(inputs));
        const auto settings = out.xml("word/settings.xml");
        EXPECT_STREQ(settings.document_element()
                         .child("w:endnotePr")
                         .child("w:pos")
                         .attribute("w:val")
                         .value(),
                     "sectEnd");
        std::string flags;
        const auto document = out.document();
        for (const auto& sectPr : document.select_nodes("//w:sectPr")) {
            flags += sectPr.node().child("w:noEndnote") ? '+' : '-';
        }
        EXPECT_EQ(flags, suppressed);
    }
}

TEST_F(SectionSettingsTest, LinesAreNumberedOnlyInTheSectionsThatNumberThem) {
    const std::string numbering = "<w:lnNumType w:countBy=\"1\" w:restart=\"continuous\"/>";
    DocDraft plain;
    plain.body =
        para("plain") + "<w:tbl><w:tr><w:tc>" + para("plain cell") + "</w:tc></w:tr></w:tbl>";
    plain.sectPr = section("");
    DocDraft numbered; // an unnumbered section, then a numbered one
    numbered.body = "<w:p><w:pPr>" + section("") +
                    "</w:pPr><w:r><w:t>unnumbered</w:t></w:r></w:p>" + para("counted");
    numbered.sectPr = section("", numbering);
    const std::string plainPath = write("plain.docx", plain);
    const std::string numberedPath = write("numbered.docx", numbered);
    for (const auto& inputs : {std::vector<std::string>{plainPath, numberedPath, plainPath},
                               std::vector<std::string>{numberedPath, plainPath}}) {
        const Written out(join(inputs, JoinChoices{true, false}));
        const auto document = out.document();
        // Paragraphs belong to the section whose properties come next.
        std::vector<pugi::xml_node> pending;
        int numberedSections = 0;
        const auto close = [&](const pugi::xml_node& sectPr) {
            const bool counts = static_cast<bool>(sectPr.child("w:lnNumType"));
            numberedSections += counts ? 1 : 0;
            for (const auto& block : pending) {
                for (const auto& hit : block.select_nodes("descendant-or-self::w:p")) {
                    const auto flag = hit.node().child("w:pPr").child("w:suppressLineNumbers");
                    EXPECT_EQ(static_cast<bool>(flag), !counts)
                        << inputs.size() << " " << serializeNode(hit.node());
                }
            }
            pending.clear();
        };
        for (const auto& block : document.document_element().child("w:body").children()) {
            if (std::strcmp(block.name(), "w:sectPr") == 0) {
                close(block);
                continue;
            }
            pending.push_back(block);
            if (const auto inner = block.child("w:pPr").child("w:sectPr")) {
                close(inner);
            }
        }
        EXPECT_EQ(numberedSections, 1);
    }
}

TEST_F(SectionSettingsTest, AFirstPageWithoutHeadersKeepsItsRoomAfterDocumentsWithoutFirstOnes) {
    // A template's first page shows no header (w:titlePg without a first one), and its header
    // distance reaches below its top margin. After a document without a first-page header there
    // is none to inherit: a stand-in there would push the text down.
    DocDraft envelope;
    envelope.body = para("opening");
    envelope.sectPr = section(story(envelope, "header", "head") + story(envelope, "footer", "foot"),
                              "<w:titlePg/>", 11906, 16838,
                              "w:top=\"360\" w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\" "
                              "w:header=\"720\" w:footer=\"720\"");
    DocDraft headed;
    headed.body = para("headed");
    headed.sectPr = section(story(headed, "header", "head") + story(headed, "footer", "foot"));
    const std::string envelopePath = write("envelope.docx", envelope);
    const std::string headedPath = write("headed.docx", headed);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(envelopePath, headedPath, "opening");
}

TEST_F(SectionSettingsTest, AFirstPageWithoutHeadersKeepsItsRoomAfterADocumentWithAFirstOne) {
    // The envelope's title page gets the empty header that keeps the other document's first
    // one away; its header distance reaches below its top margin, so the distance is cut. Its
    // second page must still show its own header, and its text, where they stood.
    DocDraft envelope;
    envelope.body =
        para("opening") + "<w:p><w:r><w:br w:type=\"page\"/><w:t>second</w:t></w:r></w:p>";
    envelope.sectPr = section(story(envelope, "header", "envhead"), "<w:titlePg/>", 11906, 16838,
                              "w:top=\"360\" w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\" "
                              "w:header=\"720\" w:footer=\"720\"");
    DocDraft titled;
    titled.body = para("titled");
    titled.rels["rIdfirst"] = {"header", "first.xml", false};
    titled.parts["word/first.xml"] = {
        "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml",
        "<w:hdr" + testNamespaces() + ">" + para("cover") + "</w:hdr>"};
    titled.sectPr =
        section("<w:headerReference w:type=\"first\" r:id=\"rIdfirst\"/>", "<w:titlePg/>");
    const std::string envelopePath = write("envelope.docx", envelope);
    const std::string titledPath = write("titled.docx", titled);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(envelopePath, titledPath, "opening");
    for (const char* word : {"second", "envhead"}) {
        const double alone = pdfWordTop(pdfOf(envelopePath), word);
        for (const char* name : {"ownfirst", "otherfirst"}) {
            EXPECT_NEAR(pdfWordTop(pdfOf(name), word), alone, 0.5) << name << " " << word;
        }
    }
}

TEST_F(SectionSettingsTest, AFirstPageKeepsItsLineGridWhereAnEmptyFooterWouldNotFitItsMargin) {
    // LibreOffice makes the empty footer that keeps another document's footer away at least
    // 1 mm high: under a bottom margin of 19 twips the text area loses the rest, and the lines
    // of its grid, centred in that area, move. The header stands below the top margin, so the
    // text starts where the header shows.
    DocDraft narrow;
    narrow.body = para("gridline");
    narrow.sectPr = section(story(narrow, "header", "head"),
                            "<w:docGrid w:type=\"lines\" w:linePitch=\"312\"/>", 11906, 16838,
                            "w:top=\"0\" w:right=\"1440\" w:bottom=\"19\" w:left=\"1440\" "
                            "w:header=\"708\" w:footer=\"992\"");
    DocDraft footed;
    footed.body = para("footed");
    footed.sectPr = section(story(footed, "footer", "foot"));
    const std::string narrowPath = write("narrow.docx", narrow);
    const std::string footedPath = write("footed.docx", footed);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(narrowPath, footedPath, "gridline");
}

TEST_F(SectionSettingsTest, ADocumentThatStatesNoSectionKeepsTheReadersDefaultPage) {
    // Without a section of its own a body is laid out on Letter with an inch all round, whatever
    // the paper of the locale or of the document before it. A word set flush right shows both
    // the paper's width and the right margin.
    DocDraft bare;
    bare.body = "<w:p><w:pPr><w:jc w:val=\"right\"/></w:pPr><w:r><w:t>edge</w:t></w:r></w:p>";
    bare.sectPr.clear();
    DocDraft framed;
    framed.body = para("framed");
    framed.sectPr = section({}, {}, 11906, 16838,
                            "w:top=\"2880\" w:right=\"2880\" w:bottom=\"1440\" w:left=\"1440\" "
                            "w:header=\"708\" w:footer=\"708\"");
    const std::string barePath = write("bare.docx", bare);
    const std::string framedPath = write("framed.docx", framed);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(barePath, framedPath, "edge");
    const double alone = pdfWordLeft(pdfOf(barePath), "edge");
    for (const char* name : {"ownfirst", "otherfirst"}) {
        EXPECT_NEAR(pdfWordLeft(pdfOf(name), "edge"), alone, 0.5) << name;
    }
}

TEST_F(SectionSettingsTest, NoTitlePageWhereALaterSectionWouldInheritItsFirstHeader) {
    // The second section's title page shows the first header the section before it states:
    // none here, so it shows no header. Made a title page, the first section would state its
    // own header as first header, and the second would inherit it.
    DocDraft narrow;
    const std::string margins = "w:top=\"0\" w:right=\"1440\" w:bottom=\"19\" w:left=\"1440\" "
                                "w:header=\"708\" w:footer=\"992\"";
    narrow.body = para("one", section(story(narrow, "header", "head"), "", 11906, 16838, margins)) +
                  para("two");
    narrow.sectPr = section("", "<w:titlePg/>", 11906, 16838, margins);
    DocDraft footed;
    footed.body = para("footed");
    footed.sectPr = section(story(footed, "footer", "foot"));
    const Written out(join({write("footed.docx", footed), write("narrow.docx", narrow)},
                           JoinChoices{true, false}));
    const auto document = out.document();
    const auto sections = document.select_nodes("//w:sectPr");
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_FALSE(sections[1].node().child("w:titlePg"));
    EXPECT_FALSE(
        sections[1].node().find_child_by_attribute("w:headerReference", "w:type", "first"));
}

TEST_F(SectionSettingsTest, AFormStaysProtectedAndTheDocumentsBesideItStayOpen) {
    DocDraft form; // only its form fields may be edited; LibreOffice sets its note a line higher
    form.settings = "<w:documentProtection w:edit=\"forms\" w:enforcement=\"1\"/>";
    form.body = "<w:p><w:r><w:t>form</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r>"
                "</w:p>";
    form.footnotes = "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/>"
                     "</w:r></w:p></w:footnote><w:footnote w:id=\"1\"><w:p><w:r><w:footnoteRef/>"
                     "</w:r><w:r><w:t xml:space=\"preserve\"> Footnoted</w:t></w:r></w:p>"
                     "</w:footnote>";
    form.sectPr = section("");
    DocDraft open; // two sections, and form protection it does not enforce
    open.settings = "<w:documentProtection w:edit=\"forms\" w:enforcement=\"0\"/>";
    open.body = "<w:p><w:pPr>" + section("") + "</w:pPr><w:r><w:t>open</w:t></w:r></w:p>";
    open.sectPr = section("", "<w:formProt/>");
    const std::string formPath = write("form.docx", form);
    const std::string openPath = write("open.docx", open);
    // Which sections are left open, in document order.
    for (const auto& [inputs, opened] :
         {std::pair<std::vector<std::string>, std::string>{{openPath, formPath, openPath}, "++-++"},
          {{formPath, openPath}, "-++"}}) {
        const Written out(join(inputs, JoinChoices{true, false}));
        const auto settings = out.xml("word/settings.xml");
        const auto protection = settings.document_element().child("w:documentProtection");
        EXPECT_STREQ(protection.attribute("w:edit").value(), "forms");
        EXPECT_STREQ(protection.attribute("w:enforcement").value(), "1");
        std::string flags;
        const auto document = out.document();
        for (const auto& sectPr : document.select_nodes("//w:sectPr")) {
            const auto flag = sectPr.node().child("w:formProt");
            flags += flag && std::strcmp(flag.attribute("w:val").value(), "0") == 0 ? '+' : '-';
        }
        EXPECT_EQ(flags, opened);
    }
    const Written unprotected(join({openPath, openPath}));
    const auto unprotectedSettings = unprotected.xml("word/settings.xml");
    EXPECT_FALSE(unprotectedSettings.document_element().child("w:documentProtection"));
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(formPath, openPath, "Footnoted");
}

TEST_F(SectionSettingsTest, FootnotesStayWhereTheyStoodAfterALeaderWithAnotherUnusedNoteStyle) {
    // The leader's "footnote text" sets 24 pt text and no note uses it. In a document that
    // protects its forms, LibreOffice gives the notes area of a page a line in that style.
    const auto withNoteStyle = [](const std::string& pPr) {
        return "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
               "w:val=\"Normal\"/></w:style><w:style w:type=\"paragraph\" "
               "w:styleId=\"FootnoteText\"><w:name w:val=\"footnote text\"/><w:basedOn "
               "w:val=\"Normal\"/>" +
               pPr + "</w:style>";
    };
    const std::string separators =
        "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p>"
        "</w:footnote><w:footnote w:type=\"continuationSeparator\" w:id=\"0\"><w:p><w:r>"
        "<w:continuationSeparator/></w:r></w:p></w:footnote>";
    DocDraft leader;
    leader.body = para("leader");
    leader.styles = withNoteStyle("<w:rPr><w:sz w:val=\"48\"/></w:rPr>");
    leader.footnotes = separators;
    DocDraft noted;
    noted.body = "<w:p><w:r><w:t>noted</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/>"
                 "</w:r></w:p>";
    noted.footnotes = separators +
                      "<w:footnote w:id=\"1\"><w:p><w:pPr><w:pStyle w:val=\"FootnoteText\"/>"
                      "</w:pPr><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space=\"preserve\"> thenote"
                      "</w:t></w:r></w:p></w:footnote>";
    noted.styles = withNoteStyle("");
    noted.settings = "<w:documentProtection w:edit=\"forms\" w:enforcement=\"1\"/>";
    const std::string notedPath = write("noted.docx", noted);
    // A style the leader's text names keeps the leader's definition.
    DocDraft naming = leader;
    naming.body = "<w:p><w:pPr><w:pStyle w:val=\"FootnoteText\"/></w:pPr></w:p>";
    const Written kept(join({write("naming.docx", naming), notedPath}));
    EXPECT_TRUE(kept.xml("word/styles.xml")
                    .select_node("//w:style[@w:styleId='FootnoteText']/w:rPr/w:sz[@w:val='48']"));
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(notedPath, write("leader.docx", leader), "thenote");
}

} // namespace
} // namespace paperloom::engine::testing
