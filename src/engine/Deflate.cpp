// Raw deflate helpers on zlib: compressing pieces, combining CRCs, inflating with a size limit.
#include "engine/Deflate.h"

#include <zlib.h>

#include <new>
#include <stdexcept>

namespace paperloom::engine {

PiecePtr deflatePiece(std::string_view text) {
    auto piece = std::make_shared<DeflatedPiece>();
    piece->size = text.size();
    piece->crc = crcOf(text);
    z_stream zs{};
    if (deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::bad_alloc();
    }
    piece->deflated.resize(deflateBound(&zs, static_cast<uLong>(text.size())) + 16);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(piece->deflated.data());
    zs.avail_out = static_cast<uInt>(piece->deflated.size());
    const int rc = deflate(&zs, Z_SYNC_FLUSH);
    piece->deflated.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
        throw std::bad_alloc();
    }
    return piece;
}

std::uint32_t crcOf(std::string_view text) {
    return static_cast<std::uint32_t>(
        crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.data()), text.size()));
}

std::uint32_t crcCombine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lenB) {
    return static_cast<std::uint32_t>(crc32_combine64(crcA, crcB, static_cast<z_off64_t>(lenB)));
}

bool inflateRaw(std::string_view deflated, std::uint64_t maxSize, std::string& out,
                std::string& reason) {
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) {
        reason = "out of memory";
        return false;
    }
    out.clear();
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    zs.avail_in = static_cast<uInt>(deflated.size());
    char buffer[65536];
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            reason = zs.msg != nullptr ? zs.msg : "damaged compressed data";
            if (rc == Z_BUF_ERROR) {
                reason = "compressed data ends early";
            }
            inflateEnd(&zs);
            return false;
        }
        const std::size_t produced = sizeof buffer - zs.avail_out;
        if (out.size() + produced > maxSize) {
            reason = "inflates past its limit";
            inflateEnd(&zs);
            return false;
        }
        out.append(buffer, produced);
    }
    inflateEnd(&zs);
    return true;
}

PiecePtr joinPieces(const std::vector<PiecePtr>& pieces) {
    auto joined = std::make_shared<DeflatedPiece>();
    std::size_t bytes = 0;
    for (const auto& piece : pieces) {
        bytes += piece->deflated.size();
    }
    joined->deflated.reserve(bytes);
    for (const auto& piece : pieces) {
        joined->deflated += piece->deflated;
        joined->crc =
            joined->size == 0 ? piece->crc : crcCombine(joined->crc, piece->crc, piece->size);
        joined->size += piece->size;
    }
    return joined;
}

void GrowingText::clear() {
    m_pieces.clear();
    m_pending.clear();
}

const std::vector<PiecePtr>& GrowingText::pieces() {
    if (!m_pending.empty()) {
        m_pieces.push_back(deflatePiece(m_pending));
        m_pending.clear();
        if (m_pieces.size() > 32) {
            m_pieces = {joinPieces(m_pieces)};
        }
    }
    return m_pieces;
}

std::string inflatePieces(const std::vector<PiecePtr>& pieces) {
    std::string stream;
    std::uint64_t size = 0;
    for (const auto& piece : pieces) {
        stream += piece->deflated;
        size += piece->size;
    }
    stream.append(kFinalBlock);
    std::string out;
    std::string reason;
    if (!inflateRaw(stream, size, out, reason)) {
        throw std::runtime_error("pieces do not inflate: " + reason);
    }
    return out;
}

} // namespace paperloom::engine
