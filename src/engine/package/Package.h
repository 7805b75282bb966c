// An OOXML package in memory: its parts in stored (usually compressed) form, read lazily.
#pragma once

#include "engine/package/Deflate.h"
#include "word/WordError.h"

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace paperloom::engine {

/// A package that cannot be read, caught apart from other failures where a damaged part is
/// passed over. reason is a sentence fragment ("the document is damaged"); the operation that
/// meets it adds the file it was opening.
class PackageError : public WordError {
public:
    PackageError(std::string reason, std::string detail)
        : WordError(FailureKind::Read, std::move(reason),
                    FailureContext{{}, {}, std::nullopt, std::move(detail)}) {}
    PackageError(std::string reason, FailureContext context)
        : WordError(FailureKind::Read, std::move(reason), std::move(context)) {}
};

/// Limits that keep a hostile package from exhausting memory or time.
struct PackageLimits {
    std::uint64_t maxFileSize = 2ull << 30; // the package file itself
    std::uint64_t maxPartSize = 1ull << 30; // one inflated part
    std::uint64_t maxInflateRatio = 300;    // per part, once it is larger than ratioFloor
    std::uint64_t ratioFloor = 16ull << 20; // parts below this size are never rejected by ratio
    std::uint64_t maxEntries = 20000;
    /// All XML of one document, inflated. A join needs up to about 13 times its XML in memory
    /// (a parsed node costs 64 bytes, the shortest element 6), 7 times for ordinary markup:
    /// 256 MiB, far more than the longest real documents hold, caps a join near 3 GiB.
    std::uint64_t maxDocumentText = 256ull << 20;
};

/// One part as it will be stored in a zip: a complete stream (as read from a file) or pieces.
class PartData {
public:
    enum class Method : std::uint16_t { Stored = 0, Deflated = 8 };

    /// A part read from a zip: data is the stored bytes or a complete raw deflate stream.
    static std::shared_ptr<const PartData> fromZip(Method method, std::string data,
                                                   std::uint32_t crc, std::uint64_t size);
    /// A part made of pieces; the stream is completed with the final empty block when written.
    static std::shared_ptr<const PartData> fromPieces(std::vector<PiecePtr> pieces);
    /// A part compressed from text.
    static std::shared_ptr<const PartData> fromText(std::string_view text);

    [[nodiscard]] Method method() const noexcept { return m_method; }
    [[nodiscard]] std::uint32_t crc() const noexcept { return m_crc; }
    [[nodiscard]] std::uint64_t size() const noexcept { return m_size; }
    [[nodiscard]] std::uint64_t compressedSize() const noexcept;
    /// Calls sink for each run of stored bytes, in order.
    template <typename Sink> void forEachStoredRun(Sink&& sink) const {
        if (m_pieces.empty()) {
            sink(std::string_view(m_blob));
            return;
        }
        for (const auto& piece : m_pieces) {
            sink(std::string_view(piece->deflated));
        }
        sink(kFinalBlock);
    }
    /// The inflated bytes; throws PackageError when damaged or larger than the limits allow.
    [[nodiscard]] std::string text(const std::string& partName, const PackageLimits& limits) const;
    /// Writes the inflated bytes (size() of them) to out; throws PackageError like text().
    void inflateInto(char* out, const std::string& partName, const PackageLimits& limits) const;
    /// Throws PackageError when the part would inflate past the limits.
    void checkLimits(const std::string& partName, const PackageLimits& limits) const;
    /// True when both hold the same stored bytes (used to store identical media once).
    [[nodiscard]] bool sameContent(const PartData& other) const;

private:
    Method m_method = Method::Deflated;
    std::string m_blob;
    std::vector<PiecePtr> m_pieces;
    std::uint32_t m_crc = 0;
    std::uint64_t m_size = 0;
};
using PartDataPtr = std::shared_ptr<const PartData>;

/// The parts of a package by name (no leading slash), in a fixed order.
struct Package {
    std::map<std::string, PartDataPtr> parts;
    PackageLimits limits;

    [[nodiscard]] const PartData* find(const std::string& name) const;
    [[nodiscard]] bool contains(const std::string& name) const { return find(name) != nullptr; }
    /// The inflated text of a part; throws PackageError when missing or damaged.
    [[nodiscard]] std::string text(const std::string& name) const;
};

/// The relationships part that belongs to a part ("word/document.xml" ->
/// "word/_rels/document.xml.rels"; "" for the package itself -> "_rels/.rels").
[[nodiscard]] std::string relsPartName(const std::string& partName);
/// The folder of a part name, with a trailing slash ("word/document.xml" -> "word/").
[[nodiscard]] std::string partFolder(const std::string& partName);
/// Resolves a relationship target against the source part; throws PackageError when it climbs
/// out of the package.
[[nodiscard]] std::string resolvePartName(const std::string& sourcePart, const std::string& target);
/// A relative reference from one part to another in the same package.
[[nodiscard]] std::string relativeTarget(const std::string& fromPart, const std::string& toPart);
/// True when a zip entry name is acceptable as a part name.
[[nodiscard]] bool isSafePartName(std::string_view name);
/// True for the names of XML parts (".xml", ".rels", in any letter case).
[[nodiscard]] bool isMarkupPartName(std::string_view name);

} // namespace paperloom::engine
