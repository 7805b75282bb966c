// Raw deflate pieces that concatenate into one zip entry, so unchanged text is compressed once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace paperloom::engine {

/// A run of text compressed on its own as non-final raw deflate blocks ending in a sync flush.
/// Any sequence of pieces followed by kFinalBlock is one valid deflate stream, which lets a save
/// reuse the compressed form of everything that did not change since the last one.
struct DeflatedPiece {
    std::string deflated;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};
using PiecePtr = std::shared_ptr<const DeflatedPiece>;

/// The empty final deflate block that ends a stream made of pieces.
inline constexpr std::string_view kFinalBlock{"\x03\x00", 2};

/// Compresses text into a piece. Throws std::bad_alloc only.
[[nodiscard]] PiecePtr deflatePiece(std::string_view text);

/// Compresses text handed over in parts into one piece, so that a long text never has to exist
/// whole: only the compressed form grows. Throws std::bad_alloc only.
class PieceWriter {
public:
    PieceWriter();
    ~PieceWriter();
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    void append(std::string_view text);
    /// The bytes appended since the last piece was taken.
    [[nodiscard]] std::uint64_t size() const noexcept { return m_size; }
    /// The piece of everything appended since the last one; the writer starts afresh.
    [[nodiscard]] PiecePtr take();

private:
    void run(int flush);
    struct Stream;
    std::unique_ptr<Stream> m_stream;
    std::string m_out;
    std::uint32_t m_crc = 0;
    std::uint64_t m_size = 0;
};

/// The CRC-32 of text.
[[nodiscard]] std::uint32_t crcOf(std::string_view text);

/// The CRC-32 of a whole that is the concatenation of two parts.
[[nodiscard]] std::uint32_t crcCombine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lenB);

/// Inflates a complete raw deflate stream. Fails (returns false, with reason set) when the data
/// is damaged or would inflate past maxSize; never allocates more than maxSize for the output.
[[nodiscard]] bool inflateRaw(std::string_view deflated, std::uint64_t maxSize, std::string& out,
                              std::string& reason);

/// Inflates a complete raw deflate stream into out, which must come out exactly size bytes
/// long. Fails (returns false, with reason set) when the data is damaged, shorter or longer.
[[nodiscard]] bool inflateRawInto(std::string_view deflated, char* out, std::uint64_t size,
                                  std::string& reason);

/// One piece holding the given pieces in order (their compressed bytes simply follow each
/// other), so that long runs of unchanged text cost one CRC combination, not one per piece.
[[nodiscard]] PiecePtr joinPieces(const std::vector<PiecePtr>& pieces);

/// Text that only grows at its end, compressed in pieces as it grows: taking the pieces after
/// an append compresses only what was appended since they were last taken.
class GrowingText {
public:
    void append(std::string_view text) { m_pending.append(text); }
    void clear();
    /// The compressed pieces of all text so far.
    [[nodiscard]] const std::vector<PiecePtr>& pieces();
    [[nodiscard]] bool empty() const { return m_pieces.empty() && m_pending.empty(); }

private:
    std::vector<PiecePtr> m_pieces;
    std::string m_pending;
};

/// The text of a stream made of pieces; throws std::runtime_error when it does not inflate.
[[nodiscard]] std::string inflatePieces(const std::vector<PiecePtr>& pieces);

} // namespace paperloom::engine
