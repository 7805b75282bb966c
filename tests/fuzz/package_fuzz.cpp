// libFuzzer target: open a package, copy it and paste it into a new document, in memory bounds.
//
// Input that starts like a zip is a whole package file (so real documents serve as seeds);
// anything else becomes the main part of an otherwise valid package, so that the XML paths
// are reached without a valid zip to find.
#include "engine/automation/DocumentEngine.h"
#include "engine/package/Package.h"
#include "engine/package/ZipWriter.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace paperloom;

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

const std::string& scratchFolder() {
    static const ScratchFolder folder;
    return folder.path();
}

void writePackageAround(const std::string& mainPart, const std::string& path) {
    engine::Package package;
    package.parts["[Content_Types].xml"] = engine::PartData::fromText(
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/"
        "vnd.openxmlformats-package.relationships+xml\"/><Override PartName=\"/word/"
        "document.xml\" ContentType=\"application/vnd.openxmlformats-officedocument."
        "wordprocessingml.document.main+xml\"/></Types>");
    package.parts["_rels/.rels"] = engine::PartData::fromText(
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>");
    package.parts["word/document.xml"] = engine::PartData::fromText(mainPart);
    engine::writeZipPackage(package, path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = scratchFolder() + "/input.docx";
    const std::string output = scratchFolder() + "/output.docx";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.rfind("PK", 0) == 0) {
        std::ofstream(input, std::ios::binary | std::ios::trunc) << bytes;
    } else {
        writePackageAround(bytes, input);
    }
    engine::EngineOptions options;
    options.paper = engine::PaperSize::A4;
    options.limits.maxPartSize = 16u << 20;
    options.limits.maxFileSize = 32u << 20;
    engine::DocumentEngine automation(options);
    try {
        auto source = automation.createInstance();
        source->Documents().Open(input).Range()->Copy();
        source->Quit();
        for (int step = 0; step < 2; ++step) {
            auto target = automation.createInstance();
            if (step == 0) {
                target->Documents().Add();
            } else {
                target->Documents().Open(output);
            }
            target->Selection().EndKey({EndKeyUnit::Story, EndKeyExtend::Move});
            target->Selection().PasteAndFormat(PasteFormat::Original);
            target->Selection().InsertBreak({BreakType::Page});
            target->Selection().TypeBackspace();
            target->ActiveDocument().SaveAs(output);
            target->Quit();
        }
    } catch (const WordError&) {
        // refusing a bad document with a sentence is the expected outcome
    }
    return 0;
}
