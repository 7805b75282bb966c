// A later document's VML text box keeps its type, and so its look, after a document that
// defines types of its own.
#include "EngineFixture.h"

#include <string>
#include <utility>
#include <vector>

namespace paperloom::engine::testing {
namespace {

using ShapeTypeTest = EngineFixture;

constexpr const char* kPictureType =
    "<v:shapetype id=\"_x0000_t75\" coordsize=\"21600,21600\" o:spt=\"75\" o:preferrelative=\"t\" "
    "path=\"m@4@5l@4@11@9@11@9@5xe\" filled=\"f\" stroked=\"f\"><v:stroke joinstyle=\"miter\"/>"
    "<v:path o:extrusionok=\"f\" gradientshapeok=\"t\" o:connecttype=\"rect\"/>"
    "<o:lock v:ext=\"edit\" aspectratio=\"t\"/></v:shapetype>";

constexpr const char* kTextBoxType =
    "<v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" o:spt=\"202\" "
    "path=\"m,l,21600r21600,l21600,xe\"><v:stroke joinstyle=\"miter\"/>"
    "<v:path gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype>";

std::string pict(const std::string& inside) {
    return "<w:p><w:r><w:pict>" + inside + "</w:pict></w:r></w:p>";
}

/// A text box of the type its own drawing defines, text anchored at the bottom.
DocDraft boxedDraft() {
    DocDraft boxed;
    boxed.body =
        pict(std::string(kTextBoxType) +
             "<v:shape id=\"_x0000_s1026\" type=\"#_x0000_t202\" "
             "style=\"position:absolute;margin-left:0;margin-top:100pt;width:300pt;height:200pt;"
             "z-index:1;v-text-anchor:bottom\" fillcolor=\"#404040\" stroked=\"f\">"
             "<v:textbox><w:txbxContent>" +
             para("Boxtext") + "</w:txbxContent></v:textbox></v:shape>") +
        para("Boxpage");
    return boxed;
}

TEST_F(ShapeTypeTest, ATextBoxKeepsItsTypeAfterADocumentThatDefinesAnotherType) {
    DocDraft picture;
    picture.body = pict(kPictureType) + para("Picturepage");
    const DocDraft boxed = boxedDraft();
    const std::vector<std::string> sources = {write("picture.docx", picture),
                                              write("boxed.docx", boxed)};
    std::vector<std::string> files = sources;
    for (const auto& [name, inputs] :
         {std::pair{std::string("picturefirst"), std::vector{sources[0], sources[1]}},
          std::pair{std::string("boxedfirst"), std::vector{sources[1], sources[0]}}}) {
        files.push_back((dir / (name + ".docx")).string());
        joinDocuments(engine, inputs, files.back(), JoinChoices{true, false});
    }
    // The leader's own definitions stay first; the later document's new ones follow them.
    EXPECT_EQ(attributeValues(Written(files[2]).document(), "v:shapetype", "id"),
              (std::vector<std::string>{"_x0000_t75", "_x0000_t202", "_x0000_t202"}));
    EXPECT_EQ(attributeValues(Written(files[3]).document(), "v:shapetype", "id"),
              (std::vector<std::string>{"_x0000_t202", "_x0000_t75", "_x0000_t75"}));

    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    ASSERT_EQ(renderPdfs(dir, files), "");
    const auto pdf = [this](const std::string& name) { return dir / "pdf" / (name + ".pdf"); };
    // A text box LibreOffice knows as one keeps its text at the top; a shape of no known type
    // takes v-text-anchor and moves it to the bottom.
    const double alone = pdfWordTop(pdf("boxed"), "Boxtext");
    ASSERT_GT(alone, 0);
    EXPECT_NEAR(pdfWordTop(pdf("picturefirst"), "Boxtext"), alone, 0.5);
    EXPECT_NEAR(pdfWordTop(pdf("boxedfirst"), "Boxtext"), alone, 0.5);
}

TEST_F(ShapeTypeTest, ATextBoxKeepsItsTypeBesideADocumentWithPictureBullets) {
    // The picture bullet is defined but used by no paragraph, as in many templates.
    DocDraft bulleted;
    bulleted.numbering = "<w:numPicBullet w:numPicBulletId=\"0\"><w:pict>" +
                         std::string(kPictureType) +
                         "<v:shape id=\"_x0000_i1025\" type=\"#_x0000_t75\" "
                         "style=\"width:9pt;height:9pt\" o:bullet=\"t\"/></w:pict>"
                         "</w:numPicBullet><w:abstractNum w:abstractNumId=\"0\"><w:lvl "
                         "w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/><w:lvlText w:val=\"\"/>"
                         "<w:lvlPicBulletId w:val=\"0\"/></w:lvl></w:abstractNum>"
                         "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>";
    bulleted.body = para("Bulletpage");
    const std::string boxed = write("boxed.docx", boxedDraft());
    const std::string other = write("bulleted.docx", bulleted);
    if (!canRenderPdfs()) {
        GTEST_SKIP() << "LibreOffice or poppler-utils is not installed";
    }
    expectWordWhereItStandsAlone(boxed, other, "Boxtext");
    for (const char* name : {"ownfirst.docx", "otherfirst.docx"}) {
        EXPECT_EQ(attributeValues(Written(dir / name).xml("word/numbering.xml"), "v:shape", "type"),
                  std::vector<std::string>{"#_x0000_t75"})
            << name;
    }
}

} // namespace
} // namespace paperloom::engine::testing
