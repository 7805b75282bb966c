// What a join keeps of each document's pages: paper, margins, orientation, headers and footers,
// page numbers, section types, and no blank pages.
#include "EngineFixture.h"

#include "engine/package/Relationships.h"
#include "engine/package/Xml.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <tuple>

namespace paperloom::engine::testing {
namespace {

using SectionTest = EngineFixture;

constexpr const char* kHeaderType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml";
constexpr const char* kFooterType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml";

/// Adds a header or footer part with one paragraph of text, referenced as rId<kind><type>.
std::string addStory(DocDraft& draft, const std::string& kind, const std::string& type,
                     const std::string& text, const std::string& extra = {}) {
    const std::string id = "rId" + kind + type;
    const std::string part = kind + type + ".xml";
    draft.rels[id] = {kind, part, false};
    const std::string root = kind == "header" ? "w:hdr" : "w:ftr";
    draft.parts["word/" + part] = {kind == "header" ? kHeaderType : kFooterType,
                                   "<" + root + testNamespaces() + "><w:p><w:r><w:t>" + text +
                                       "</w:t></w:r>" + extra + "</w:p></" + root + ">"};
    return "<w:" + kind + "Reference w:type=\"" + type + "\" r:id=\"" + id + "\"/>";
}

std::vector<pugi::xml_node> sectionsOf(const pugi::xml_document& doc) {
    std::vector<pugi::xml_node> found;
    for (const auto& hit : doc.select_nodes("//w:sectPr")) {
        found.push_back(hit.node());
    }
    return found;
}

/// The text of the header or footer a section names for a type; "-" when it names none.
std::string storyText(const Written& out, const pugi::xml_node& sectPr, const std::string& kind,
                      const std::string& type) {
    const std::string element = "w:" + kind + "Reference";
    for (auto ref : sectPr.children(element.c_str())) {
        if (type == ref.attribute("w:type").value()) {
            const std::string target = out.relTarget(ref.attribute("r:id").value());
            if (target.empty() || !out.has("word/" + target)) {
                return "<dangling>";
            }
            const auto story = out.xml("word/" + target);
            std::string text;
            for (const auto& t : story.select_nodes("//w:t")) {
                text += t.node().text().get();
            }
            return text;
        }
    }
    return "-";
}

std::string typeOf(const pugi::xml_node& sectPr) {
    const auto type = sectPr.child("w:type");
    return type ? type.attribute("w:val").value() : "nextPage";
}

// ------------------------------------------------------------------------------ page setup

struct GeometryCase {
    bool pageBreaks;
    bool sameGeometry;
    const char* expectedType; // of the second document's section
};

class GeometryTest : public EngineFixture, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(GeometryTest, EachDocumentKeepsItsPaperMarginsAndHeaders) {
    const GeometryCase& c = GetParam();
    DocDraft a4;
    a4.body = para("A4 text");
    a4.sectPr = section(addStory(a4, "header", "default", "Head A"),
                        "<w:lnNumType w:countBy=\"1\"/><w:vAlign w:val=\"center\"/>");
    DocDraft letter;
    letter.body = para("Letter text");
    const std::string margins = c.sameGeometry ? "w:top=\"1440\" w:right=\"1440\" "
                                                 "w:bottom=\"1440\" w:left=\"1440\" "
                                                 "w:header=\"708\" w:footer=\"708\""
                                               : "w:top=\"1000\" w:right=\"1100\" "
                                                 "w:bottom=\"1200\" w:left=\"1300\" "
                                                 "w:header=\"500\" w:footer=\"600\"";
    letter.sectPr = section(addStory(letter, "header", "default", "Head B"),
                            "<w:cols w:num=\"2\" w:space=\"720\"/>", c.sameGeometry ? 11906 : 12240,
                            c.sameGeometry ? 16838 : 15840, margins);

    const Written out(join({write("a4.docx", a4), write("letter.docx", letter)},
                           JoinChoices{c.pageBreaks, false}));
    const auto doc = out.document();
    const auto sections = sectionsOf(doc);
    ASSERT_EQ(sections.size(), 2u);
    const auto first = sections[0];
    const auto second = sections[1];
    EXPECT_EQ(first.child("w:pgSz").attribute("w:w").as_int(), 11906);
    EXPECT_TRUE(first.child("w:lnNumType"));
    EXPECT_STREQ(first.child("w:vAlign").attribute("w:val").value(), "center");
    EXPECT_EQ(storyText(out, first, "header", "default"), "Head A");
    EXPECT_EQ(second.child("w:pgSz").attribute("w:w").as_int(), c.sameGeometry ? 11906 : 12240);
    EXPECT_EQ(second.child("w:pgMar").attribute("w:left").as_int(), c.sameGeometry ? 1440 : 1300);
    EXPECT_EQ(second.child("w:cols").attribute("w:num").as_int(), 2);
    EXPECT_EQ(storyText(out, second, "header", "default"), "Head B");
    EXPECT_EQ(typeOf(second), c.expectedType);
    // A section that starts its page needs no page break as well: that would leave a blank page.
    EXPECT_EQ(pageBreaksUnder(doc), 0);
}

INSTANTIATE_TEST_SUITE_P(Engine, GeometryTest,
                         ::testing::Values(GeometryCase{true, false, "nextPage"},
                                           GeometryCase{true, true, "nextPage"},
                                           GeometryCase{false, false, "nextPage"},
                                           GeometryCase{false, true, "continuous"}),
                         [](const ::testing::TestParamInfo<GeometryCase>& param) {
                             return std::string(param.param.pageBreaks ? "WithBreaks"
                                                                       : "WithoutBreaks") +
                                    (param.param.sameGeometry ? "SamePaper" : "OtherPaper");
                         });

TEST_F(SectionTest, TheChosenOrientationTurnsTheLastSectionAndItsMarginsOnly) {
    DocDraft wide;
    wide.body = para("inner portrait", section("", "", 11906, 16838)) + para("wide");
    wide.sectPr = section("", "", 16838, 11906,
                          "w:top=\"1000\" w:right=\"2000\" w:bottom=\"3000\" w:left=\"4000\" "
                          "w:header=\"500\" w:footer=\"600\"");
    DocDraft tall;
    tall.body = para("tall");
    tall.sectPr = section("", "", 11906, 16838,
                          "w:top=\"1000\" w:right=\"2000\" w:bottom=\"3000\" w:left=\"4000\" "
                          "w:header=\"500\" w:footer=\"600\"");
    const std::string widePath = write("wide.docx", wide);
    const std::string tallPath = write("tall.docx", tall);

    for (const bool landscape : {false, true}) {
        SCOPED_TRACE(landscape ? "Landscape" : "Portrait");
        const Written out(join({widePath, tallPath}, JoinChoices{true, landscape}));
        const auto doc = out.document();
        const auto sections = sectionsOf(doc);
        ASSERT_EQ(sections.size(), 3u);
        // The inner section keeps its own page.
        EXPECT_EQ(sections[0].child("w:pgSz").attribute("w:w").as_int(), 11906);
        for (std::size_t i = 1; i < 3; ++i) {
            const auto pgSz = sections[i].child("w:pgSz");
            const auto pgMar = sections[i].child("w:pgMar");
            EXPECT_STREQ(pgSz.attribute("w:orient").value(), landscape ? "landscape" : "portrait");
            EXPECT_EQ(pgSz.attribute("w:w").as_int(), landscape ? 16838 : 11906);
            const bool turned =
                (i == 1) == !landscape; // wide turned in portrait, tall in landscape
            const bool wasWide = i == 1;
            // Into landscape the left margin goes to the top; into portrait the top to the left.
            const std::tuple<int, int, int, int> expected =
                !turned   ? std::tuple{1000, 2000, 3000, 4000}
                : wasWide ? std::tuple{2000, 3000, 4000, 1000}
                          : std::tuple{4000, 1000, 2000, 3000};
            EXPECT_EQ(
                (std::tuple{pgMar.attribute("w:top").as_int(), pgMar.attribute("w:right").as_int(),
                            pgMar.attribute("w:bottom").as_int(),
                            pgMar.attribute("w:left").as_int()}),
                expected)
                << "section " << i;
            EXPECT_EQ(pgMar.attribute("w:header").as_int(), 500);
        }
    }
}

// ------------------------------------------------------------------------------ headers

TEST_F(SectionTest, FirstAndEvenPageHeadersStayAndEvenHeadersAreResolvedPerDocument) {
    DocDraft plain; // no even headers: its even pages show its default header
    plain.body = para("plain");
    plain.sectPr = section(addStory(plain, "header", "default", "Plain default") +
                           addStory(plain, "header", "even", "Plain unused even"));
    DocDraft evenOdd;
    evenOdd.body = para("even and odd");
    evenOdd.settings = "<w:evenAndOddHeaders/>";
    evenOdd.sectPr = section(addStory(evenOdd, "header", "default", "Odd") +
                                 addStory(evenOdd, "header", "first", "Title page") +
                                 addStory(evenOdd, "header", "even", "Even") +
                                 addStory(evenOdd, "footer", "default", "Odd foot"),
                             "<w:titlePg/>");

    for (const bool evenFirst : {false, true}) {
        SCOPED_TRACE(evenFirst ? "even headers first" : "even headers second");
        const std::vector<std::string> inputs =
            evenFirst
                ? std::vector<std::string>{write("eo.docx", evenOdd), write("plain.docx", plain)}
                : std::vector<std::string>{write("plain.docx", plain), write("eo.docx", evenOdd)};
        const Written out(join(inputs, JoinChoices{true, false}));
        const auto settings = out.xml("word/settings.xml");
        EXPECT_TRUE(settings.document_element().child("w:evenAndOddHeaders"));
        const auto doc = out.document();
        const auto sections = sectionsOf(doc);
        ASSERT_EQ(sections.size(), 2u);
        const auto plainSection = sections[evenFirst ? 1 : 0];
        const auto eoSection = sections[evenFirst ? 0 : 1];
        EXPECT_EQ(storyText(out, plainSection, "header", "default"), "Plain default");
        EXPECT_EQ(storyText(out, plainSection, "header", "even"), "Plain default");
        EXPECT_EQ(storyText(out, eoSection, "header", "default"), "Odd");
        EXPECT_EQ(storyText(out, eoSection, "header", "first"), "Title page");
        EXPECT_EQ(storyText(out, eoSection, "header", "even"), "Even");
        EXPECT_TRUE(eoSection.child("w:titlePg"));
        EXPECT_FALSE(plainSection.child("w:titlePg"));
        if (evenFirst) {
            // After a document with footers, the plain one states empty footers of its own, of
            // the types there are to inherit (none for even pages).
            EXPECT_EQ(storyText(out, plainSection, "footer", "default"), "");
            EXPECT_EQ(storyText(out, plainSection, "footer", "even"), "-");
        }
        for (const auto& [name, data] : out.package().parts) {
            EXPECT_EQ(out.text(name).find("Plain unused even"), std::string::npos) << name;
        }
    }
    // Until a document shows even headers, none are stated; the one that does states them in
    // the sections before it, a header-less document's empty stand-in included.
    DocDraft bare;
    bare.body = para("bare");
    const Written out(
        join({write("plain.docx", plain), write("bare.docx", bare), write("eo.docx", evenOdd)},
             JoinChoices{true, false}));
    const auto doc = out.document();
    const auto sections = sectionsOf(doc);
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(storyText(out, sections[0], "header", "even"), "Plain default");
    EXPECT_EQ(storyText(out, sections[1], "header", "default"), "");
    EXPECT_EQ(storyText(out, sections[1], "header", "even"), "");
    EXPECT_EQ(storyText(out, sections[2], "header", "even"), "Even");
}

TEST_F(SectionTest, ADocumentWithoutHeadersNeverShowsAnotherDocumentsHeaders) {
    DocDraft headed;
    headed.body = para("headed");
    headed.sectPr = section(addStory(headed, "header", "default", "Head") +
                                addStory(headed, "footer", "first", "First foot"),
                            "<w:titlePg/>");
    DocDraft bare; // no headers; its header distance reaches below its top margin
    bare.body = para("bare one", section("", "", 11906, 16838,
                                         "w:top=\"600\" w:right=\"1440\" w:bottom=\"1440\" "
                                         "w:left=\"1440\" w:header=\"708\" w:footer=\"708\"")) +
                para("bare two");
    bare.sectPr = section("", "", 11906, 16838,
                          "w:top=\"-600\" w:right=\"1440\" w:bottom=\"700\" w:left=\"1440\" "
                          "w:header=\"708\" w:footer=\"708\"");
    const std::string headedPath = write("headed.docx", headed);
    const std::string barePath = write("bare.docx", bare);

    // Headed, bare, headed: the bare document states empty headers and footers of the types the
    // headed one states, and none it could not inherit.
    {
        const Written out(join({headedPath, barePath, headedPath}, JoinChoices{true, false}));
        const auto doc = out.document();
        const auto sections = sectionsOf(doc);
        ASSERT_EQ(sections.size(), 4u);
        const auto bareFirst = sections[1];
        for (const char* kind : {"header", "footer"}) {
            for (const char* type : {"default", "first", "even"}) {
                // No document shows even headers, so none states an even one.
                const std::string name = std::string(kind) + type;
                const bool stated = name == "headerdefault" || name == "footerfirst";
                EXPECT_EQ(storyText(out, bareFirst, kind, type), stated ? "" : "-")
                    << kind << " " << type;
            }
        }
        // The bare document's second section inherits those empty ones, as in its source.
        EXPECT_FALSE(sections[2].child("w:headerReference"));
        EXPECT_EQ(storyText(out, sections[3], "header", "default"), "Head");
        EXPECT_EQ(storyText(out, sections[3], "footer", "first"), "First foot");
        // The empty header sits above the text: its distance is pulled inside the top margin
        // where it reached below it; a negative margin and a footer that fits stay as they were.
        EXPECT_LE(bareFirst.child("w:pgMar").attribute("w:header").as_int(), 600 - 57);
        EXPECT_EQ(bareFirst.child("w:pgMar").attribute("w:footer").as_int(), 708);
        EXPECT_EQ(sections[2].child("w:pgMar").attribute("w:header").as_int(), 708);
        EXPECT_LE(sections[2].child("w:pgMar").attribute("w:footer").as_int(), 700 - 57);
    }
    // Bare first: nothing to inherit, so no references are made up; the headed one keeps its own.
    {
        const Written out(join({barePath, headedPath}, JoinChoices{true, false}));
        const auto doc = out.document();
        const auto sections = sectionsOf(doc);
        ASSERT_EQ(sections.size(), 3u);
        EXPECT_FALSE(sections[0].child("w:headerReference"));
        EXPECT_FALSE(sections[1].child("w:footerReference"));
        EXPECT_EQ(storyText(out, sections[2], "header", "default"), "Head");
        EXPECT_EQ(sections[0].child("w:pgMar").attribute("w:header").as_int(), 708);
    }
}

TEST_F(SectionTest, PicturesAndLinksInHeadersKeepTheirTargets) {
    // One pixel PNG.
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\1\0\0\0\1\x08\x06\0\0\0\x1f\x15\xc4"
                          "\x89\0\0\0\rIDATx\x9c\x63\xf8\x0f\x00\x00\x01\x01\x00\x05\x18\xd8N\0\0"
                          "\0\0IEND\xae\x42\x60\x82",
                          67);
    const std::string picture =
        "<w:r><w:drawing><wp:inline><wp:extent cx=\"9525\" cy=\"9525\"/><wp:docPr id=\"1\" "
        "name=\"p\"/><a:graphic><a:graphicData "
        "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:blipFill>"
        "<a:blip r:embed=\"rId1\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
        "</wp:inline></w:drawing></w:r><w:hyperlink r:id=\"rId2\"><w:r><w:t>site</w:t></w:r>"
        "</w:hyperlink>";
    std::vector<std::string> inputs;
    for (const std::string name : {"one", "two"}) {
        DocDraft draft;
        draft.body = para(name);
        draft.sectPr = section(addStory(draft, "header", "default", name, picture));
        draft.parts["word/media/image1.png"] = {"", png + name}; // different pictures
        draft.parts["word/_rels/headerdefault.xml.rels"] = {
            "", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                "relationships\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats."
                "org/officeDocument/2006/relationships/image\" Target=\"media/image1.png\"/>"
                "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/"
                "officeDocument/2006/relationships/hyperlink\" Target=\"https://example.org/" +
                    name + "\" TargetMode=\"External\"/></Relationships>"};
        // The body uses the same ids for something else.
        draft.rels["rId1"] = {"hyperlink", "https://example.org/body", true};
        inputs.push_back(write(name + ".docx", draft));
    }
    const Written out(join(inputs, JoinChoices{true, false}));
    const auto doc = out.document();
    const auto sections = sectionsOf(doc);
    ASSERT_EQ(sections.size(), 2u);
    std::set<std::string> media;
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string name = i == 0 ? "one" : "two";
        const std::string headerPart =
            "word/" +
            out.relTarget(sections[i].child("w:headerReference").attribute("r:id").value());
        ASSERT_TRUE(out.has(headerPart));
        const auto header = out.xml(headerPart);
        const std::string relsPart = "word/_rels/" + headerPart.substr(5) + ".rels";
        ASSERT_TRUE(out.has(relsPart)) << relsPart;
        const auto rels = Relationships::parse(out.text(relsPart), relsPart);
        const auto* image =
            rels.byId(header.select_node("//a:blip").node().attribute("r:embed").value());
        ASSERT_NE(image, nullptr);
        const std::string imagePart = resolvePartName(headerPart, image->target);
        ASSERT_TRUE(out.has(imagePart));
        EXPECT_EQ(out.text(imagePart), png + name);
        media.insert(imagePart);
        const auto* link =
            rels.byId(header.select_node("//w:hyperlink").node().attribute("r:id").value());
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->target, "https://example.org/" + name);
    }
    EXPECT_EQ(media.size(), 2u);
}

// ------------------------------------------------------------------------------ types, numbers

TEST_F(SectionTest, InnerSectionTypesStayAndPageNumbersRestartWhereADocumentStartsAPage) {
    DocDraft inner;
    inner.body = para("one", section("", "<w:pgNumType w:fmt=\"lowerRoman\" w:start=\"5\"/>")) +
                 para("two", section("<w:type w:val=\"continuous\"/>")) +
                 para("three", section("<w:type w:val=\"oddPage\"/>")) + para("four");
    inner.sectPr = section("<w:type w:val=\"continuous\"/>");
    DocDraft plain;
    plain.body = para("plain");
    plain.sectPr = section("");
    const std::string innerPath = write("inner.docx", inner);
    const std::string plainPath = write("plain.docx", plain);

    {
        const Written out(join({plainPath, innerPath, plainPath}, JoinChoices{true, false}));
        const auto doc = out.document();
        const auto sections = sectionsOf(doc);
        ASSERT_EQ(sections.size(), 6u);
        // The pasted document's first section starts the page and keeps its own numbering.
        EXPECT_EQ(typeOf(sections[1]), "nextPage");
        EXPECT_STREQ(sections[1].child("w:pgNumType").attribute("w:fmt").value(), "lowerRoman");
        EXPECT_EQ(sections[1].child("w:pgNumType").attribute("w:start").as_int(), 5);
        EXPECT_EQ(typeOf(sections[2]), "continuous");
        EXPECT_EQ(typeOf(sections[3]), "oddPage");
        EXPECT_EQ(typeOf(sections[4]), "continuous");
        EXPECT_FALSE(sections[2].child("w:pgNumType").attribute("w:start"));
        // A document without numbering of its own starts again at 1, as it did on its own.
        EXPECT_EQ(typeOf(sections[5]), "nextPage");
        EXPECT_EQ(sections[5].child("w:pgNumType").attribute("w:start").as_int(), 1);
        EXPECT_FALSE(sections[0].child("w:pgNumType"));
    }
    {
        // Documents that run on share their pages, and so their page numbers.
        const Written out(join({plainPath, plainPath}, JoinChoices{false, false}));
        const auto doc = out.document();
        const auto sections = sectionsOf(doc);
        ASSERT_EQ(sections.size(), 2u);
        EXPECT_EQ(typeOf(sections[1]), "continuous");
        EXPECT_FALSE(sections[1].child("w:pgNumType"));
    }
}

// ------------------------------------------------------------------------------ real pages

TEST_F(SectionTest, LibreOfficeShowsNoBlankPagesBetweenOrAfterDocumentsOfDifferentPaper) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    DocDraft a4;
    a4.body = para("A4");
    a4.sectPr = section(addStory(a4, "header", "default", "Head"));
    DocDraft letter;
    letter.body = "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid>"
                  "<w:gridCol w:w=\"2000\"/></w:tblGrid><w:tr><w:tc><w:tcPr><w:tcW w:w=\"2000\" "
                  "w:type=\"dxa\"/></w:tcPr><w:p><w:r><w:t>cell</w:t></w:r></w:p></w:tc></w:tr>"
                  "</w:tbl>" +
                  para("Letter");
    letter.sectPr = section("", "", 12240, 15840);
    const std::string a4Path = write("a4.docx", a4);
    const std::string letterPath = write("letter.docx", letter);
    const std::vector<std::tuple<std::string, std::vector<std::string>, bool, int>> cases = {
        {"breaks", {a4Path, letterPath, a4Path}, true, 3},
        {"nobreaks", {a4Path, letterPath, a4Path}, false, 3},
        {"same", {a4Path, a4Path}, false, 1},
        {"samebreaks", {a4Path, a4Path}, true, 2}};
    std::vector<std::string> files;
    for (const auto& [name, inputs, breaks, pages] : cases) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{breaks, false});
    }
    const std::string failed = renderPdfs(dir, files);
    ASSERT_EQ(failed, "");
    for (const auto& [name, inputs, breaks, pages] : cases) {
        EXPECT_EQ(pdfPages(dir / "pdf" / (name + ".pdf")), pages) << name;
    }
}

TEST_F(SectionTest, LibreOfficeKeepsTheBlankPageADocumentEndsWithWhateverFollowsIt) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // A page break, then an empty last paragraph: a blank second page. LibreOffice drops an
    // empty paragraph that ends a section, and with it the page, when the next document starts.
    DocDraft blank;
    blank.body = para("text") +
                 "<w:p><w:r><w:br w:type=\"page\"/></w:r></w:p><w:p><w:bookmarkStart "
                 "w:id=\"0\" w:name=\"_GoBack\"/><w:bookmarkEnd w:id=\"0\"/></w:p>";
    blank.sectPr = section("", "", 12240, 15840);
    DocDraft other;
    other.body = para("other");
    other.sectPr = blank.sectPr;
    // A cover page ends its content control with the break.
    DocDraft cover = blank;
    cover.body = "<w:sdt><w:sdtContent>" + para("cover") +
                 "<w:p><w:r><w:br w:type=\"page\"/></w:r></w:p></w:sdtContent></w:sdt><w:p/>";
    const std::string blankPath = write("blank.docx", blank);
    const std::string otherPath = write("other.docx", other);
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"first", {blankPath, otherPath}},
        {"between", {otherPath, blankPath, otherPath}},
        {"cover", {write("cover.docx", cover), otherPath}}};
    std::vector<std::string> files{blankPath};
    for (const auto& [name, inputs] : cases) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
    }
    ASSERT_EQ(renderPdfs(dir, files), "");
    ASSERT_EQ(pdfPages(dir / "pdf" / "blank.pdf"), 2);
    EXPECT_EQ(pdfPages(dir / "pdf" / "first.pdf"), 3);
    EXPECT_EQ(pdfPages(dir / "pdf" / "between.pdf"), 4);
    EXPECT_EQ(pdfPages(dir / "pdf" / "cover.pdf"), 3);
}

TEST_F(SectionTest, LibreOfficeShowsAFloatingTableThatStartsADocumentOnThatDocumentsPage) {
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    // A page of text, then a document that starts with a 15-row floating table (a cover page,
    // in a content control): anchored to the paragraph before it, the table and the rest of
    // its document are drawn over the page of text, and the join has one page.
    DocDraft text;
    text.body.clear();
    for (int i = 0; i < 40; ++i) {
        text.body += para("line " + std::to_string(i));
    }
    text.sectPr = section("", "", 12240, 15840);
    const std::string rows = oneCellRows(15, 8000, "cover");
    DocDraft cover;
    cover.body = "<w:sdt><w:sdtPr><w:docPartObj><w:docPartGallery w:val=\"Cover Pages\"/>"
                 "</w:docPartObj></w:sdtPr><w:sdtContent><w:tbl><w:tblPr><w:tblpPr "
                 "w:horzAnchor=\"margin\" w:tblpXSpec=\"center\" w:tblpY=\"2881\"/><w:tblW "
                 "w:w=\"8000\" w:type=\"dxa\"/></w:tblPr><w:tblGrid><w:gridCol w:w=\"8000\"/>"
                 "</w:tblGrid>" +
                 rows + "</w:tbl>" + para("after the cover") + "</w:sdtContent></w:sdt>";
    cover.sectPr = text.sectPr;
    const std::string textPath = write("text.docx", text);
    const std::string coverPath = write("cover.docx", cover);
    const std::string joined = (dir / "covered.docx").string();
    joinDocuments(engine, {textPath, coverPath}, joined, JoinChoices{true, false});
    // Readers place a floating table that stands in the body itself: nothing goes before one
    // as wide as the text. LibreOffice makes a narrower one a frame, which would take the page
    // break before it along: it gets the paragraph too.
    DocDraft wide = cover;
    const auto open = wide.body.find("<w:tbl>");
    wide.body = wide.body.substr(open, wide.body.find("</w:sdtContent>") - open);
    const auto width = wide.body.find("w:w=\"8000\" w:type=\"dxa\"/></w:tblPr>");
    wide.body.replace(width, 10, "w:w=\"9360\"");
    DocDraft narrow = wide;
    narrow.body.replace(width, 10, "w:w=\"4000\"");
    const std::string narrowPath = write("narrow.docx", narrow);
    for (const auto& [inputs, afterBreak] :
         {std::pair<std::vector<std::string>, const char*>{{textPath, coverPath}, "w:sdt"},
          {{textPath, narrowPath}, "w:tbl"},
          {{textPath, write("wide.docx", wide)}, "w:tbl"}}) {
        const Written out(join(inputs));
        const auto joinedXml = out.document();
        const auto breakParagraph = joinedXml.select_node("//w:p[w:pPr/w:sectPr]").node();
        ASSERT_TRUE(breakParagraph) << afterBreak;
        auto next = breakParagraph.next_sibling();
        if (inputs.back() != (dir / "wide.docx").string()) {
            EXPECT_TRUE(next.child("w:pPr").child("w:rPr").child("w:vanish")) << inputs.back();
            next = next.next_sibling();
        }
        EXPECT_STREQ(next.name(), afterBreak) << inputs.back();
    }
    const std::string narrowed = (dir / "narrowed.docx").string();
    joinDocuments(engine, {textPath, narrowPath}, narrowed, JoinChoices{true, false});
    const std::string failed = renderPdfs(dir, {textPath, coverPath, joined, narrowPath, narrowed});
    ASSERT_EQ(failed, "");
    ASSERT_EQ(pdfPages(dir / "pdf" / "text.pdf"), 1);
    ASSERT_EQ(pdfPages(dir / "pdf" / "cover.pdf"), 1);
    ASSERT_EQ(pdfPages(dir / "pdf" / "narrow.pdf"), 1);
    EXPECT_EQ(pdfPages(dir / "pdf" / "covered.pdf"), 2);
    EXPECT_EQ(pdfPages(dir / "pdf" / "narrowed.pdf"), 2);
}

TEST_F(SectionTest, ADocumentWithNotesThatBeginsWithAFloatingTableKeepsItsFirstLineEitherWay) {
    // LibreOffice keeps the empty line of the default style it opens a document that begins with
    // a table with where the document has notes, further on too, and anchors the frame it makes
    // of a narrow floating table there: the text after the table starts a line down.
    DocDraft framed;
    framed.body = "<w:tbl><w:tblPr><w:tblpPr w:leftFromText=\"180\" w:rightFromText=\"180\" "
                  "w:vertAnchor=\"page\" w:horzAnchor=\"margin\" w:tblpXSpec=\"right\" "
                  "w:tblpY=\"300\"/><w:tblW w:w=\"2800\" w:type=\"dxa\"/></w:tblPr><w:tblGrid>"
                  "<w:gridCol w:w=\"2800\"/></w:tblGrid><w:tr><w:tc>" +
                  para("reference") + "</w:tc></w:tr></w:tbl>" + para("beneath") +
                  "<w:p><w:r><w:t>noted</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r>"
                  "</w:p>";
    framed.footnotes = "<w:footnote w:id=\"1\"><w:p><w:r><w:t>note</w:t></w:r></w:p></w:footnote>";
    framed.sectPr = "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"700\" "
                    "w:right=\"700\" w:bottom=\"700\" w:left=\"700\" w:header=\"700\" "
                    "w:footer=\"700\" w:gutter=\"0\"/></w:sectPr>";
    expectWordWhereItStandsBesideAPlainOne(framed, "beneath", 40);
}

TEST_F(SectionTest, LibreOfficePlacesTheFloatingTablesOfADocumentThatEndsInATableEitherWay) {
    // LibreOffice drops an empty paragraph that ends a section, and keeps the floating tables of
    // a section that a table then ends in the text, unless it is the last section: a document
    // whose last table is followed by an empty paragraph has its table at the foot of the page
    // alone and when it comes last, and would have it under its first line when it leads.
    const auto table = [](const std::string& placement, const std::string& text) {
        return "<w:tbl><w:tblPr>" + placement +
               "<w:tblW w:w=\"3000\" w:type=\"dxa\"/></w:tblPr><w:tblGrid><w:gridCol "
               "w:w=\"3000\"/></w:tblGrid><w:tr><w:tc><w:tcPr><w:tcW w:w=\"3000\" "
               "w:type=\"dxa\"/></w:tcPr>" +
               para(text) + "</w:tc></w:tr></w:tbl>";
    };
    DocDraft placed;
    placed.body = para("opening") +
                  table("<w:tblpPr w:leftFromText=\"187\" w:rightFromText=\"187\" "
                        "w:tblpYSpec=\"bottom\"/>",
                        "placed") +
                  para("text") + table("", "cell") + "<w:p/>";
    expectWordWhereItStandsBesideAPlainOne(placed, "placed", 400);
}

TEST_F(SectionTest, LibreOfficeKeepsTheTextOfADocumentWithoutHeadersWhereItStandsEitherWay) {
    // After a document with headers, one without them shows an empty header; LibreOffice makes
    // it at least 1 mm high, so with the header distance at the top margin (as templates often
    // have it) its text would move down by what that leaves over a line of 1 pt.
    DocDraft headed;
    headed.body = para("headed");
    headed.sectPr = section(addStory(headed, "header", "default", "Head"));
    DocDraft bare;
    bare.body = para("bare");
    bare.sectPr = section("", "", 12240, 15840,
                          "w:top=\"720\" w:right=\"720\" w:bottom=\"734\" w:left=\"720\" "
                          "w:header=\"720\" w:footer=\"720\"");
    const std::string headedPath = write("headed.docx", headed);
    const std::string barePath = write("bare.docx", bare);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(barePath, headedPath, "bare");
}

} // namespace
} // namespace paperloom::engine::testing
