// What LibreOffice sees and leaves: a file a document links to is never fetched, documents with
// comments become PDFs, the copies handed to LibreOffice are private, and nothing of a
// conversion stays beside the documents or in the temporary folder.
#include "tests/engine/JoinSteps.h"
#include "tests/engine/TestDocuments.h"
#include "tests/office/OfficeTestSupport.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace paperloom::engine::office {
namespace {

using namespace test;
using engine::testing::DocDraft;
using engine::testing::JoinChoices;
using engine::testing::joinDocuments;

using OfficeHygiene = RealOffice;

// A picture of 37 x 23 pixels, the size a PDF names when it holds it.
constexpr char kPicture[] =
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x25\x00\x00"
    "\x00\x17\x08\x02\x00\x00\x00\x03\x4E\x11\xF2\x00\x00\x00\x26\x49\x44\x41\x54\x78\x9C\x63"
    "\x38\x21\x98\x4C\x4F\xC4\x30\x6A\xDF\xA8\x7D\xA3\xF6\x8D\xDA\x37\x6A\xDF\xA8\x7D\xA3\xF6"
    "\x8D\xDA\x37\x6A\xDF\xA0\xB2\x0F\x00\xA7\x38\x1A\xB1\xD7\x99\x14\x7B\x00\x00\x00\x00\x49"
    "\x45\x4E\x44\xAE\x42\x60\x82";

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// A document showing the picture at pictureUrl by link only, as a document from elsewhere may
/// point at a file of the user's; with a comment on its first paragraph when asked.
DocDraft linkingDocument(const std::string& pictureUrl, bool withComment) {
    DocDraft draft;
    const std::string text = "<w:r><w:t>Linked picture follows.</w:t></w:r>";
    draft.body =
        (withComment ? "<w:p><w:commentRangeStart w:id=\"0\"/>" + text +
                           "<w:commentRangeEnd w:id=\"0\"/><w:r><w:commentReference "
                           "w:id=\"0\"/></w:r></w:p>"
                     : "<w:p>" + text + "</w:p>") +
        "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"590550\"/>"
        "<wp:docPr id=\"1\" name=\"Picture 1\"/><a:graphic><a:graphicData "
        "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic>"
        "<pic:nvPicPr><pic:cNvPr id=\"1\" name=\"linked.png\"/><pic:cNvPicPr/></pic:nvPicPr>"
        "<pic:blipFill><a:blip r:link=\"rIdLinked\"/><a:stretch><a:fillRect/></a:stretch>"
        "</pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"952500\" "
        "cy=\"590550\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
        "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
    draft.rels["rIdLinked"] = DocDraft::Rel{"image", pictureUrl, true};
    if (withComment) {
        draft.comments = "<w:comment w:id=\"0\" w:author=\"Ann\" w:initials=\"A\"><w:p><w:r>"
                         "<w:t>A remark</w:t></w:r></w:p></w:comment>";
    }
    return draft;
}

TEST_F(OfficeHygiene, PdfsNeverFetchWhatADocumentLinksToAndDocumentsWithCommentsBecomePdfs) {
    Scratch scratch;
    const std::string picture = scratch / "private photo.png";
    writeFile(picture, std::string(kPicture, sizeof kPicture - 1));
    auto word = engine();
    // Without comments the hosted LibreOffice writes the PDF; with them, the one driven over
    // UNO takes part too.
    for (const bool withComment : {false, true}) {
        const std::string source = scratch / (withComment ? "commented.docx" : "plain.docx");
        linkingDocument("file://" + (scratch.path() / "private%20photo.png").string(), withComment)
            .write(source);
        const std::string pdf = scratch / (withComment ? "commented.pdf" : "plain.pdf");
        joinDocuments(*word, {source}, pdf, JoinChoices{});
        const std::string content = contentOf(pdf);
        EXPECT_EQ(content.rfind("%PDF-", 0), 0u) << pdf;
        EXPECT_EQ(content.find("/Width 37"), std::string::npos) << "the linked picture was fetched";
        EXPECT_EQ(content.find("/Subtype/Image"), std::string::npos) << pdf;
    }
    EXPECT_EQ(m_counting->exports, 2);
}

/// Notes who may read the copies the engine hands to the converter, while they exist.
class ProbingConverter : public DocumentConverter {
public:
    explicit ProbingConverter(std::shared_ptr<DocumentConverter> inner)
        : m_inner(std::move(inner)) {}
    void toWordPackage(const std::string& input, const std::string& package) override {
        m_inner->toWordPackage(input, package);
        probe(package);
    }
    void fromWordPackage(const std::string& package, const std::string& output) override {
        probe(package);
        m_inner->fromWordPackage(package, output);
    }
    [[nodiscard]] bool convertsOutput(const std::string& output) const override {
        return m_inner->convertsOutput(output);
    }

    /// Each copy with the permission bits of the copy and of its folder.
    std::vector<std::tuple<std::string, mode_t, mode_t>> copies;

private:
    void probe(const std::string& path) {
        struct stat file {};
        struct stat folder {};
        ::stat(path.c_str(), &file);
        ::stat(fs::path(path).parent_path().c_str(), &folder);
        copies.emplace_back(path, file.st_mode & 0777, folder.st_mode & 0777);
    }
    std::shared_ptr<DocumentConverter> m_inner;
};

TEST_F(OfficeHygiene, CopiesForLibreOfficeArePrivateAndNothingOfAConversionStays) {
    Scratch scratch;
    const fs::path sources = scratch.path() / "sources";
    const fs::path output = scratch.path() / "output";
    fs::create_directories(sources);
    fs::create_directories(output);
    fs::copy_file(kCorpus / "test01.doc", sources / "legacy.doc");
    auto probing = std::make_shared<ProbingConverter>(OfficeSession::bridge());
    {
        DocumentEngine word;
        word.setConverter(probing);
        joinDocuments(word, {(sources / "legacy.doc").string()}, (output / "joined.doc").string(),
                      JoinChoices{});
    }
    ASSERT_EQ(probing->copies.size(), 2u) << "one copy in, one copy out";
    for (const auto& [path, fileMode, folderMode] : probing->copies) {
        EXPECT_EQ(fileMode, 0600u) << path;
        EXPECT_EQ(folderMode, 0700u) << path;
        EXPECT_FALSE(fs::exists(fs::path(path).parent_path())) << "removed with the engine";
    }
    // Beside the documents: the documents. In the temporary folder: LibreOffice's profile
    // (lu*.tmp folders and the copies included) and the folders of the tests.
    EXPECT_EQ(std::distance(fs::directory_iterator(sources), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(output), fs::directory_iterator()), 1);
    for (const auto& entry : fs::directory_iterator(OfficeSession::root())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.rfind("paperloom-office-profile-", 0) == 0 ||
                    name.rfind("paperloom-office-test-", 0) == 0)
            << name;
    }
}

} // namespace
} // namespace paperloom::engine::office
