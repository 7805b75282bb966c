// Each document's page background on its own pages, whichever document leads.
#include "EngineFixture.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace paperloom::engine::testing {
namespace {

using PageBackgroundTest = EngineFixture;

constexpr const char* kHeaderType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml";

/// The fill colours of the page-covering shapes behind the text in the headers that the
/// section shows, by header type.
std::map<std::string, std::string> backgroundShapes(const Written& out,
                                                    const pugi::xml_node& sectPr) {
    std::map<std::string, std::string> colours;
    for (auto ref : sectPr.children("w:headerReference")) {
        const std::string target = out.relTarget(ref.attribute("r:id").value());
        const auto header = out.xml(resolvePartName("word/document.xml", target));
        for (const auto& anchor : elements(header, "wp:anchor")) {
            if (std::string(anchor.attribute("behindDoc").value()) == "1" &&
                std::string(anchor.child("wp:positionH").attribute("relativeFrom").value()) ==
                    "page") {
                colours[ref.attribute("w:type").value()] =
                    elements(anchor, "a:srgbClr").front().attribute("val").value();
            }
        }
    }
    return colours;
}

TEST_F(PageBackgroundTest, TheFirstDocumentsBackgroundIsKeptWithItsPicture) {
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
    green.settings = "<w:displayBackgroundShape/>";

    const Written alone(join({write("green.docx", green)}));
    EXPECT_STREQ(
        alone.document().document_element().child("w:background").attribute("w:color").value(),
        "00FF00");

    // The same background under other relationship ids is the same background: nothing to say.
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
    EXPECT_TRUE(elements(doc, "wp:anchor").empty());
    EXPECT_FALSE(out.has("word/header1.xml"));

    // Another background, or none (white, also when stated or when the settings do not display
    // it), is the later document's own: in its headers, the stand-in one where it has none, and
    // no second header beside it.
    DocDraft hidden = green;
    hidden.settings.clear();
    DocDraft whitePage;
    whitePage.body = para("white");
    whitePage.background = "<w:background w:color=\"FFFFFF\"/>";
    DocDraft headed;
    headed.body = para("headed");
    headed.sectPr = section("<w:headerReference w:type=\"default\" r:id=\"rIdH\"/>");
    headed.rels["rIdH"] = {"header", "header1.xml", false};
    headed.parts["word/header1.xml"] = {kHeaderType, "<w:hdr" + testNamespaces() + ">" +
                                                         para("own header") + "</w:hdr>"};
    const Written mixed(join({write("tiled.docx", tiled), write("green.docx", green),
                              write("plain.docx", DocDraft{}), write("headed.docx", headed),
                              write("white.docx", whitePage), write("hidden.docx", hidden)}));
    const auto mixedDoc = mixed.document();
    EXPECT_STREQ(mixedDoc.document_element().child("w:background").attribute("w:color").value(),
                 "FFEECC");
    const auto sections = elements(mixedDoc, "w:sectPr");
    ASSERT_EQ(sections.size(), 6u);
    const std::map<std::string, std::string> none;
    EXPECT_EQ(backgroundShapes(mixed, sections[0]), none);
    // No document shows even headers: their even pages show the default one.
    const std::map<std::string, std::string> greenShapes = {{"default", "00FF00"},
                                                            {"first", "00FF00"}};
    EXPECT_EQ(backgroundShapes(mixed, sections[1]), greenShapes);
    const std::map<std::string, std::string> whiteShapes = {{"default", "FFFFFF"},
                                                            {"first", "FFFFFF"}};
    EXPECT_EQ(backgroundShapes(mixed, sections[2]), whiteShapes);
    EXPECT_EQ(backgroundShapes(mixed, sections[3]), whiteShapes);
    EXPECT_EQ(backgroundShapes(mixed, sections[4]), whiteShapes);
    EXPECT_EQ(backgroundShapes(mixed, sections[5]), whiteShapes);
    for (const auto& sectPr : sections) {
        EXPECT_LE(elements(sectPr, "w:headerReference").size(), 3u);
    }
    const std::string ownHeader =
        mixed.relTarget(sections[3]
                            .select_node("w:headerReference[@w:type='default']")
                            .node()
                            .attribute("r:id")
                            .value());
    EXPECT_TRUE(paragraphWithText(mixed.xml(resolvePartName("word/document.xml", ownHeader)),
                                  "own header"));
}

TEST_F(PageBackgroundTest, LibreOfficeShowsEachDocumentsPageColourWhicheverLeads) {
    // Two documents that differ only in their page colour, joined both ways round, and a
    // third without one that has a header of its own: every page keeps its colour, and the
    // headers that carry it push no text down.
    DocDraft green;
    green.body = para("Greenpage");
    green.background = "<w:background w:color=\"92D050\"/>";
    green.settings = "<w:displayBackgroundShape/>";
    // Line numbers count the lines of headers too where nothing suppresses them.
    green.sectPr = section("", "<w:lnNumType w:countBy=\"1\" w:restart=\"newPage\"/>");
    DocDraft plain = green;
    plain.body = para("Plainpage");
    plain.background.clear();
    plain.settings.clear();
    plain.sectPr = section("");
    DocDraft headed = plain;
    headed.body = para("Headedpage");
    headed.sectPr = section("<w:headerReference w:type=\"default\" r:id=\"rIdH\"/>");
    headed.rels["rIdH"] = {"header", "header1.xml", false};
    headed.parts["word/header1.xml"] = {kHeaderType, "<w:hdr" + testNamespaces() + ">" +
                                                         para("header") + "</w:hdr>"};
    const std::vector<std::string> sources = {
        write("green.docx", green), write("plain.docx", plain), write("headed.docx", headed)};
    const std::vector<std::pair<std::string, std::vector<std::string>>> joins = {
        {"greenfirst", {sources[0], sources[1], sources[2]}},
        {"plainfirst", {sources[1], sources[0]}},
        {"headedfirst", {sources[2], sources[0]}}};
    std::vector<std::string> files = sources;
    for (const auto& [name, inputs] : joins) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
    }
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    ASSERT_EQ(renderPdfs(dir, files), "");
    const auto pdf = [this](const std::string& name) { return dir / "pdf" / (name + ".pdf"); };
    // Below the text and in the top left corner, outside every margin.
    for (const auto& [x, y] : {std::pair{0.5, 0.7}, std::pair{0.02, 0.02}}) {
        const int greenGrey = pdfPageGreys(pdf("green"), x, y).at(0);
        const int plainGrey = pdfPageGreys(pdf("plain"), x, y).at(0);
        ASSERT_NE(greenGrey, plainGrey);
        EXPECT_EQ(pdfPageGreys(pdf("headed"), x, y), std::vector<int>{plainGrey});
        EXPECT_EQ(pdfPageGreys(pdf("greenfirst"), x, y),
                  (std::vector<int>{greenGrey, plainGrey, plainGrey}));
        EXPECT_EQ(pdfPageGreys(pdf("plainfirst"), x, y), (std::vector<int>{plainGrey, greenGrey}));
        EXPECT_EQ(pdfPageGreys(pdf("headedfirst"), x, y), (std::vector<int>{plainGrey, greenGrey}));
    }
    for (const auto& [word, source, joined] : {std::tuple{"Plainpage", "plain", "greenfirst"},
                                               {"Headedpage", "headed", "greenfirst"},
                                               {"Greenpage", "green", "plainfirst"},
                                               {"Greenpage", "green", "headedfirst"}}) {
        EXPECT_NEAR(pdfWordTop(pdf(joined), word), pdfWordTop(pdf(source), word), 0.1)
            << word << " in " << joined;
    }
    // Its first line number stands beside its first line, not beside the header's.
    ASSERT_GT(pdfWordTop(pdf("green"), "1"), 0);
    EXPECT_NEAR(pdfWordTop(pdf("plainfirst"), "1"), pdfWordTop(pdf("green"), "1"), 0.1);
}

} // namespace
} // namespace paperloom::engine::testing
