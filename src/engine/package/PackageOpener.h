// Recognising a file by its content and opening it as a WordprocessingML package.
#pragma once

#include "engine/package/Package.h"

#include <string>

namespace paperloom::engine {

/// What a file is, judged by its first bytes and, for zips, by its package structure.
enum class FileKind {
    WordPackage,  // a WordprocessingML package: document, template, with or without macros
    LegacyWord,   // an OLE compound file (Word 97-2003 and similar)
    OldWord,      // older binary Word: for DOS (and Write), for Windows 1.x and 2.0
    Encrypted,    // an OLE compound file holding an encrypted package
    Rtf,          // rich text
    OpenDocument, // a zip with an OpenDocument mimetype
    Other,
};

/// A package recognised as a Word document, with the name of its main part.
struct OpenedPackage {
    Package package;
    std::string mainPart;
};

/// The kind of the file at path; throws PackageError when it cannot be read at all.
[[nodiscard]] FileKind sniffFile(const std::string& path);
/// The same from the first 4 KiB alone, which takes an encrypted package (a compound file too)
/// for LegacyWord: cheap enough to look at every file of a long list.
[[nodiscard]] FileKind sniffFileHead(const std::string& path);

/// Reads and checks a Word package: content types present, the main part found through the
/// package relationships and of a WordprocessingML type. Throws PackageError saying what is
/// wrong ("not a Word document", "the document is damaged", ...).
[[nodiscard]] OpenedPackage openWordPackage(const std::string& path, const PackageLimits& limits);

/// Checks a package held in memory the same way (used for fuzzing and for converter output).
[[nodiscard]] std::string findMainPart(const Package& package);

/// True for the content types of a WordprocessingML main part.
[[nodiscard]] bool isWordMainContentType(const std::string& contentType);

} // namespace paperloom::engine
