// What each document keeps of its document-wide settings when another document leads: page
// background, document defaults, default tab stops and theme, as the joined XML states them.
#include "EngineFixture.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <cstdlib>
#include <cstring>
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

// ------------------------------------------------------------------------ page background

TEST_F(DocumentWideSettingsTest, ThePageBackgroundIsKeptWithItsPictureWhereEveryDocumentHasIt) {
    DocDraft tiled;
    tiled.body = para("tiled");
    tiled.background = "<w:background w:color=\"FFEECC\"><v:background id=\"_x0000_s1025\" "
                       "fillcolor=\"#ffeecc\"><v:fill r:id=\"rIdTile\" type=\"tile\"/>"
                       "</v:background></w:background>";
    tiled.settings = "<w:displayBackgroundShape/>";
    tiled.rels["rIdTile"] = {"image", "media/tile.png", false};
    tiled.parts["word/media/tile.png"] = {"", "\x89PNG tile"};
    DocDraft green;
    green.body = para("green");
    green.background = "<w:background w:color=\"00FF00\"/>";

    const Written alone(join({write("green.docx", green)}));
    EXPECT_STREQ(
        alone.document().document_element().child("w:background").attribute("w:color").value(),
        "00FF00");

    // The same background under other relationship ids is the same background.
    DocDraft tiledAgain = tiled;
    tiledAgain.body = para("tiled again");
    tiledAgain.rels.clear();
    tiledAgain.rels["rIdOther"] = {"image", "media/tile.png", false};
    const std::string fill = "r:id=\"rIdTile\"";
    tiledAgain.background.replace(tiledAgain.background.find(fill), fill.size(),
                                  "r:id=\"rIdOther\"");
    const Written out(join({write("tiled.docx", tiled), write("again.docx", tiledAgain)}));
    const auto doc = out.document();
    const auto background = doc.document_element().child("w:background");
    ASSERT_TRUE(background) << "the first document's background is dropped";
    EXPECT_STREQ(background.attribute("w:color").value(), "FFEECC");
    EXPECT_EQ(background.next_sibling(), doc.document_element().child("w:body"));
    const std::string tile =
        out.relTarget(background.child("v:background").child("v:fill").attribute("r:id").value());
    ASSERT_FALSE(tile.empty());
    EXPECT_EQ(out.text(resolvePartName("word/document.xml", tile)), "\x89PNG tile");
    EXPECT_TRUE(out.xml("word/settings.xml").document_element().child("w:displayBackgroundShape"));

    // One background shows on every page: it would recolour the pages of a document with
    // another one or none.
    for (const auto& others : {std::vector<std::string>{write("green.docx", green)},
                               std::vector<std::string>{write("plain.docx", DocDraft{})}}) {
        std::vector<std::string> inputs{write("tiled.docx", tiled)};
        inputs.insert(inputs.end(), others.begin(), others.end());
        EXPECT_FALSE(Written(join(inputs)).document().document_element().child("w:background"));
    }
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
    const std::vector<std::pair<std::string, std::vector<std::string>>> joins = {
        {"leader-first", {leaderPath, plainPath}}, {"plain-first", {plainPath, leaderPath}}};
    std::vector<std::string> files{plainPath};
    for (const auto& [name, inputs] : joins) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
    }
    const std::string failed = renderPdfs(dir, files);
    ASSERT_EQ(failed, "");
    ASSERT_EQ(pdfPages(dir / "pdf" / "plain.pdf"), 1);
    for (const auto& [name, inputs] : joins) {
        EXPECT_EQ(pdfPages(dir / "pdf" / (name + ".pdf")), 2) << name;
    }
}

} // namespace
} // namespace paperloom::engine::testing
