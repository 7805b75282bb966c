// libFuzzer target: join a package after a plain document and before one, with the join's own
// calls over the automation interface, saving each step to a file.
//
// Mutating a zip mostly breaks its checksums, so a fuzzer that only sees zips rarely gets past
// the package reader into the paste. Input that starts with the part list marker is therefore a
// package spelled out as text, part by part (tests/fuzz/make_paste_seeds.py writes real documents
// so), and is zipped here with sound checksums: the mutations land in the XML. Input that starts
// like a zip is a package file as it is; anything else becomes the main part of a package.
#include "../engine/JoinDocuments.h"
#include "engine/automation/DocumentEngine.h"
#include "engine/package/Package.h"
#include "engine/package/ZipWriter.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace {

using namespace paperloom;

constexpr std::string_view kPartListMarker = "PAPERLOOM-PARTS\n";
constexpr std::string_view kPartHeader = "\n=== ";

constexpr const char* kContentTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/"
    "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
    "ContentType=\"application/xml\"/><Override PartName=\"/word/document.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+"
    "xml\"/><Override PartName=\"/word/styles.xml\" ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/></Types>";
constexpr const char* kPackageRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>";
constexpr const char* kWordNamespace =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

/// A folder of this process's own for the files of one input, removed at exit.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = "/tmp/paperloom-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

const ScratchFolder& scratch() {
    static const ScratchFolder folder;
    return folder;
}

/// A package with the given main part and, when it is not empty, the given styles.
engine::Package packageAround(const std::string& mainPart, const std::string& styles) {
    engine::Package package;
    package.parts["[Content_Types].xml"] = engine::PartData::fromText(kContentTypes);
    package.parts["_rels/.rels"] = engine::PartData::fromText(kPackageRels);
    package.parts["word/document.xml"] = engine::PartData::fromText(mainPart);
    if (!styles.empty()) {
        package.parts["word/styles.xml"] = engine::PartData::fromText(styles);
        package.parts["word/_rels/document.xml.rels"] = engine::PartData::fromText(
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
            "relationships\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
            "officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/></Relationships>");
    }
    return package;
}

/// The document every input is joined with: two paragraphs in the default style.
const std::string& plainDocument() {
    static const std::string path = [] {
        const std::string file = scratch().path() + "/plain.docx";
        engine::writeZipPackage(
            packageAround(std::string("<w:document ") + kWordNamespace +
                              "><w:body><w:p><w:r><w:t>Plain</w:t></w:r></w:p><w:p><w:r><w:rPr>"
                              "<w:b/></w:rPr><w:t>text</w:t></w:r></w:p><w:sectPr><w:pgSz "
                              "w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body></w:document>",
                          std::string("<w:styles ") + kWordNamespace +
                              "><w:style w:type=\"paragraph\" w:default=\"1\" "
                              "w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style>"
                              "</w:styles>"),
            file);
        return file;
    }();
    return path;
}

/// The parts of a package spelled out as "=== NAME" lines, each followed by its bytes.
engine::Package packageFromPartList(std::string_view text) {
    engine::Package package;
    std::size_t at = text.find(kPartHeader);
    while (at != std::string_view::npos) {
        const std::size_t nameStart = at + kPartHeader.size();
        const std::size_t nameEnd = text.find('\n', nameStart);
        if (nameEnd == std::string_view::npos) {
            break;
        }
        const std::size_t next = text.find(kPartHeader, nameEnd);
        const std::string_view bytes =
            text.substr(nameEnd + 1, next == std::string_view::npos ? next : next - nameEnd - 1);
        const std::string name(text.substr(nameStart, nameEnd - nameStart));
        if (!name.empty()) {
            package.parts[name] = engine::PartData::fromText(bytes);
        }
        at = next;
    }
    return package;
}

void writeInput(std::string_view bytes, const std::string& path) {
    if (bytes.rfind(kPartListMarker, 0) == 0) {
        engine::writeZipPackage(packageFromPartList(bytes.substr(kPartListMarker.size() - 1)),
                                path);
    } else if (bytes.rfind("PK", 0) == 0) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    } else {
        engine::writeZipPackage(packageAround(std::string(bytes), {}), path);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = scratch().path() + "/input.docx";
    const std::string output = scratch().path() + "/output.docx";
    try {
        writeInput(std::string_view(reinterpret_cast<const char*>(data), size), input);
    } catch (const engine::WriteError&) {
        return 0; // a part list the writer refuses (too many parts): nothing to join
    }
    engine::EngineOptions options;
    options.paper = engine::PaperSize::A4;
    options.limits.maxPartSize = 16u << 20;
    options.limits.maxFileSize = 32u << 20;
    engine::DocumentEngine automation(options);
    // After the plain document without page breaks, then before it with them (the first and
    // the last step of a join differ, and the last one with page breaks types a backspace).
    for (const bool inputFirst : {false, true}) {
        const engine::testing::JoinChoices choices{inputFirst, false};
        try {
            engine::testing::joinDocuments(automation,
                                           inputFirst
                                               ? std::vector<std::string>{input, plainDocument()}
                                               : std::vector<std::string>{plainDocument(), input},
                                           output, choices);
        } catch (const WordError&) {
            // refusing a bad document with a sentence is the expected outcome
        }
    }
    return 0;
}
