// Peak memory and time of a join command given documents that expand far beyond their size.
//
// Makes a plain document and two hostile ones in a temporary folder (nothing is stored in the
// repository): "sparse", whose body is 16 MiB of empty paragraphs compressed to a few dozen KB,
// and "dense", whose body expands to 1 GiB at a ratio of about 260 from some 4 MB; both have a
// default paragraph style of their own, which every paragraph must then be given. Each is joined
// after the plain document by the given program (a paperloom-join), in a child process with an
// address-space limit; the child's peak resident memory, wall and CPU time are printed.
#include "engine/package/Package.h"
#include "engine/package/ZipWriter.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using paperloom::engine::deflatePiece;
using paperloom::engine::Package;
using paperloom::engine::PartData;
using paperloom::engine::PiecePtr;

const std::string kDocumentStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document "
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
const std::string kDocumentEnd =
    "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body></w:document>";

/// A package around a main part made of pieces, with a style part when styled.
Package wordPackage(std::vector<PiecePtr> document, bool styled) {
    Package package;
    const std::string stylesType =
        styled ? "<Override PartName=\"/word/styles.xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
               : "";
    package.parts["[Content_Types].xml"] = PartData::fromText(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
        "Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
        "Extension=\"xml\" ContentType=\"application/xml\"/><Override "
        "PartName=\"/word/document.xml\" "
        "ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>" +
        stylesType + "</Types>");
    package.parts["_rels/.rels"] = PartData::fromText(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
        "Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "officeDocument\" Target=\"word/document.xml\"/></Relationships>");
    package.parts["word/document.xml"] = PartData::fromPieces(std::move(document));
    if (!styled) {
        return package;
    }
    // A default paragraph style unlike the joined document's: every paragraph without a style
    // of its own must then name it.
    package.parts["word/_rels/document.xml.rels"] = PartData::fromText(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
        "Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
        "Target=\"styles.xml\"/></Relationships>");
    package.parts["word/styles.xml"] = PartData::fromText(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:styles "
        "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:style "
        "w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
        "w:val=\"Normal\"/><w:rPr><w:sz w:val=\"28\"/></w:rPr></w:style></w:styles>");
    return package;
}

/// A main part of about targetBytes whose body repeats what block() returns, compressed a
/// chunk at a time so that the expanded text never exists in memory.
template <typename Block> std::vector<PiecePtr> bodyPieces(std::uint64_t targetBytes, Block block) {
    std::vector<PiecePtr> pieces{deflatePiece(kDocumentStart)};
    std::uint64_t written = kDocumentStart.size() + kDocumentEnd.size();
    std::string chunk;
    for (std::uint64_t n = 0;; ++n) {
        const std::string text = block(n);
        if (written + text.size() > targetBytes) {
            break;
        }
        chunk += text;
        written += text.size();
        if (chunk.size() >= (4u << 20)) {
            pieces.push_back(deflatePiece(chunk));
            chunk.clear();
        }
    }
    chunk += kDocumentEnd;
    pieces.push_back(deflatePiece(chunk));
    return pieces;
}

struct Run {
    int status = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
    std::string message;
};

Run runJoin(const std::string& program, const std::vector<std::string>& args,
            std::uint64_t limitBytes, const std::string& errorFile) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        rlimit limit{limitBytes, limitBytes};
        setrlimit(RLIMIT_AS, &limit);
        std::freopen(errorFile.c_str(), "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Run run;
    rusage usage{};
    wait4(child, &run.status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::ifstream in(errorFile);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            run.message += (run.message.empty() ? "" : " / ") + line;
        }
    }
    return run;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s JOIN-PROGRAM [ADDRESS-SPACE-LIMIT-MiB (default 6144)]\n",
                     argv[0]);
        return 2;
    }
    const std::string program = argv[1];
    const std::uint64_t limit = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 6144) << 20;
    const auto folder =
        std::filesystem::temp_directory_path() / ("paperloom-bombs-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string plain = (folder / "plain.docx").string();
    paperloom::engine::writeZipPackage(
        wordPackage({deflatePiece(kDocumentStart + "<w:p><w:r><w:t>Plain.</w:t></w:r></w:p>" +
                                  kDocumentEnd)},
                    false),
        plain);

    // Each bomb is made in a child of its own: a process's peak memory counts what its parent
    // held when it forked, so the parent must stay small.
    struct Bomb {
        const char* name;
        std::uint64_t textBytes;
    };
    // Both stay just below the per-part limits (16 MiB before the ratio counts, 1 GiB).
    for (const Bomb& bomb : {Bomb{"sparse", (16u << 20) - 64}, Bomb{"dense", (1ull << 30) - 64}}) {
        const std::string path = (folder / (std::string(bomb.name) + ".docx")).string();
        if (const pid_t maker = fork(); maker == 0) {
            const bool sparse = std::string(bomb.name) == "sparse";
            // A number in every 200th paragraph keeps the ratio below the per-part limit (300).
            paperloom::engine::writeZipPackage(
                wordPackage(bodyPieces(bomb.textBytes,
                                       [sparse](std::uint64_t n) -> std::string {
                                           if (sparse) {
                                               return "<w:p/>";
                                           }
                                           const std::string word =
                                               n % 200 == 0 ? std::to_string(n * 7919 % 1000003)
                                                            : "text";
                                           return "<w:p><w:r><w:t>Paragraph " + word +
                                                  " of a long document.</w:t></w:r></w:p>";
                                       }),
                            true),
                path);
            _exit(0);
        } else {
            int status = 0;
            waitpid(maker, &status, 0);
        }
        const Run run = runJoin(program, {(folder / "joined.docx").string(), plain, path}, limit,
                                (folder / "stderr.txt").string());
        std::printf("%-6s file %7.1f KiB, text %7.1f MiB: exit %d, %6.2f s (%5.2f s CPU), peak "
                    "RSS %6.0f MiB  %s\n",
                    bomb.name, static_cast<double>(std::filesystem::file_size(path)) / 1024.0,
                    static_cast<double>(bomb.textBytes) / (1 << 20),
                    WIFEXITED(run.status) ? WEXITSTATUS(run.status) : 128 + WTERMSIG(run.status),
                    run.seconds, run.cpuSeconds, run.peakMiB, run.message.c_str());
        std::fflush(stdout);
    }
    if (std::getenv("KEEP_BOMBS") == nullptr) {
        std::filesystem::remove_all(folder);
    }
    return 0;
}
