// File-kind detection and the checks that make a zip a Word package.
#include "engine/package/PackageOpener.h"

#include "engine/package/Relationships.h"
#include "engine/package/StrictPackage.h"
#include "engine/package/Xml.h"
#include "engine/package/ZipReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace paperloom::engine {
namespace {

bool containsUtf16(const std::string& haystack, std::string_view ascii) {
    std::string needle;
    for (const char c : ascii) {
        needle += c;
        needle += '\0';
    }
    return haystack.find(needle) != std::string::npos;
}

/// Word for DOS and Windows Write (0xBE31, 0xBE32, then the tool word 0xAB00), Word for
/// Windows 1.x (0xA59B, 0xA59C) and 2.0 (0xA5DB, 0xA5DC) with a version below Word 6's: files
/// older than the OLE ones. LibreOffice imports them all.
bool isOldWordBinary(std::string_view head) {
    if (head.size() < 128) {
        return false;
    }
    const auto word = [&head](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(head[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(head[at + 1])) << 8;
    };
    const unsigned ident = word(0);
    if (ident == 0xBE31 || ident == 0xBE32) {
        return word(2) == 0 && word(4) == 0xAB00;
    }
    const bool windowsOneOrTwo =
        ident == 0xA59B || ident == 0xA59C || ident == 0xA5DB || ident == 0xA5DC;
    return windowsOneOrTwo && word(2) > 0 && word(2) < 101;
}

/// "1.0 GiB", "300 MiB", "12 KiB".
std::string sizeInWords(std::uint64_t bytes) {
    char text[32];
    if (bytes >= (1ull << 30)) {
        std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / (1ull << 30));
    } else if (bytes >= (1ull << 20)) {
        std::snprintf(text, sizeof text, "%.0f MiB", static_cast<double>(bytes) / (1ull << 20));
    } else {
        std::snprintf(text, sizeof text, "%.0f KiB", static_cast<double>(bytes) / (1ull << 10));
    }
    return text;
}

/// Refuses a package whose XML (with the main part, whatever its name) inflates past the
/// budget: the memory a join needs grows with it.
void checkTextBudget(const Package& package, const std::string& mainPart) {
    std::uint64_t total = 0;
    std::size_t parts = 0;
    for (const auto& [name, data] : package.parts) {
        if (isMarkupPartName(name) || name == mainPart) {
            total += data->size();
            ++parts;
        }
    }
    if (total > package.limits.maxDocumentText) {
        throw PackageError("it is too large to join (its text expands to " + sizeInWords(total) +
                               ")",
                           std::to_string(total) + " bytes of XML in " + std::to_string(parts) +
                               " parts; at most " + std::to_string(package.limits.maxDocumentText) +
                               " are joined");
    }
}

/// Moves the content of every further w:body into the first, in order. A body's own final
/// section properties end a section there when a later body has some of its own; the last
/// found end the document. Other readers show every body; the rest of the engine reads one.
void mergeBodies(pugi::xml_node root) {
    auto first = root.child("w:body");
    pugi::xml_node finalSectPr;
    for (auto body = first; body; body = body.next_sibling("w:body")) {
        auto last = body.last_child();
        while (last && last.type() != pugi::node_element) {
            last = last.previous_sibling();
        }
        const bool endsWithSection = last && std::strcmp(last.name(), "w:sectPr") == 0;
        if (endsWithSection && finalSectPr) {
            // The earlier section now ends with a paragraph of its own, where the next begins.
            auto paragraph = first.insert_child_before("w:p", finalSectPr);
            paragraph.append_child("w:pPr").append_move(finalSectPr);
        }
        if (body != first) {
            while (auto child = body.first_child()) {
                first.append_move(child);
            }
        }
        if (endsWithSection) {
            finalSectPr = last;
        }
    }
    if (finalSectPr) {
        first.append_move(finalSectPr);
    }
    while (auto extra = first.next_sibling("w:body")) {
        root.remove_child(extra);
    }
}

} // namespace

bool isWordMainContentType(const std::string& contentType) {
    static const char* const kTypes[] = {
        "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml",
        "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml",
        "application/vnd.ms-word.document.macroEnabled.main+xml",
        "application/vnd.ms-word.template.macroEnabledTemplate.main+xml",
    };
    for (const char* type : kTypes) {
        if (contentType == type) {
            return true;
        }
    }
    return false;
}

namespace {

FileKind sniff(const std::string& path, bool whole) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        throw PackageError(error == ENOENT || error == ENOTDIR ? "the file does not exist"
                                                               : "the file cannot be read",
                           std::strerror(error));
    }
    if (S_ISDIR(st.st_mode)) {
        throw PackageError("it is a folder, not a document", path);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw PackageError("the file cannot be read", path);
    }
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (head.rfind("PK\x03\x04", 0) == 0 || head.rfind("PK\x05\x06", 0) == 0) {
        if (head.find("mimetypeapplication/vnd.oasis.opendocument") != std::string::npos) {
            return FileKind::OpenDocument;
        }
        return FileKind::WordPackage;
    }
    if (head.rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0) {
        if (!whole) {
            return FileKind::LegacyWord;
        }
        // An encrypted package is a compound file with an EncryptionInfo stream; its directory
        // may sit anywhere, so look through a bounded prefix of the file.
        // Read only as far as the file goes: every document that needs the converter is
        // sniffed a few times, and a buffer of the whole bound costs more than a small file.
        std::string body = head;
        const std::size_t bound = head.size() + (std::size_t{8} << 20);
        char chunk[1 << 16];
        while (body.size() < bound) {
            in.read(chunk,
                    static_cast<std::streamsize>(std::min(sizeof chunk, bound - body.size())));
            if (in.gcount() <= 0) {
                break;
            }
            body.append(chunk, static_cast<std::size_t>(in.gcount()));
        }
        if (containsUtf16(body, "EncryptionInfo") || containsUtf16(body, "EncryptedPackage")) {
            return FileKind::Encrypted;
        }
        return FileKind::LegacyWord;
    }
    if (head.rfind("{\\rtf", 0) == 0) {
        return FileKind::Rtf;
    }
    if (isOldWordBinary(head)) {
        return FileKind::OldWord;
    }
    return FileKind::Other;
}

} // namespace

FileKind sniffFile(const std::string& path) {
    return sniff(path, true);
}

FileKind sniffFileHead(const std::string& path) {
    return sniff(path, false);
}

std::string findMainPart(const Package& package) {
    if (!package.contains("[Content_Types].xml") || !package.contains("_rels/.rels")) {
        throw PackageError("not a Word document", "no [Content_Types].xml or _rels/.rels");
    }
    const auto types = ContentTypes::parse(package.text("[Content_Types].xml"));
    const auto rels = Relationships::parse(package.text("_rels/.rels"), "_rels/.rels");
    const Relationship* main = rels.firstOfType("officeDocument");
    if (main == nullptr || main->external) {
        throw PackageError("not a Word document", "no officeDocument relationship");
    }
    const std::string name = resolvePartName("", main->target);
    if (!package.contains(name)) {
        throw PackageError("the document is damaged (its main part is missing)", name);
    }
    if (!isWordMainContentType(types.typeOf(name))) {
        throw PackageError("not a Word document", name + ": " + types.typeOf(name));
    }
    return name;
}

OpenedPackage openWordPackage(const std::string& path, const PackageLimits& limits) {
    OpenedPackage opened;
    opened.package = readZipPackage(path, limits);
    // Sizes from the directory are what inflating will give (it stops where they end), so the
    // budget holds before anything is inflated, even the parts that name the main part.
    checkTextBudget(opened.package, "");
    if (isStrictPackage(opened.package)) {
        convertStrictToTransitional(opened.package);
    }
    opened.mainPart = findMainPart(opened.package);
    checkTextBudget(opened.package, opened.mainPart);
    // Damage in the body shows now, when the user's file is opened, not later at a paste.
    auto doc = parsePart(opened.package, opened.mainPart);
    const auto root = doc.document_element();
    if (localName(root.name()) != "document" || !root.child("w:body") ||
        prefixFor(root, ns::W) != "w") {
        throw PackageError("the document is damaged (its main part has no body)", opened.mainPart);
    }
    if (root.child("w:body").next_sibling("w:body")) {
        mergeBodies(root);
        opened.package.parts[opened.mainPart] = PartData::fromText(serializeDocument(doc));
    }
    return opened;
}

} // namespace paperloom::engine
