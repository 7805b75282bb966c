// Raw deflate helpers on zlib: compressing pieces, combining CRCs, inflating with a size limit.
#include "engine/package/Deflate.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace paperloom::engine {

struct PieceWriter::Stream {
    z_stream zs{};
};

PieceWriter::PieceWriter() : m_stream(std::make_unique<Stream>()) {
    if (deflateInit2(&m_stream->zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::bad_alloc();
    }
}

PieceWriter::~PieceWriter() {
    deflateEnd(&m_stream->zs);
}

void PieceWriter::run(int flush) {
    z_stream& zs = m_stream->zs;
    char buffer[65536];
    do {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        const int rc = deflate(&zs, flush);
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            throw std::bad_alloc();
        }
        m_out.append(buffer, sizeof buffer - zs.avail_out);
    } while (zs.avail_out == 0 || zs.avail_in != 0);
}

void PieceWriter::append(std::string_view text) {
    m_crc = static_cast<std::uint32_t>(
        crc32_z(m_crc, reinterpret_cast<const Bytef*>(text.data()), text.size()));
    m_size += text.size();
    z_stream& zs = m_stream->zs;
    // zlib counts input in uInt: hand over very long texts in slices.
    while (!text.empty()) {
        const std::size_t slice = std::min<std::size_t>(text.size(), 1u << 30);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        zs.avail_in = static_cast<uInt>(slice);
        run(Z_NO_FLUSH);
        text.remove_prefix(slice);
    }
}

PiecePtr PieceWriter::take() {
    m_stream->zs.avail_in = 0;
    run(Z_SYNC_FLUSH);
    auto piece = std::make_shared<DeflatedPiece>();
    piece->deflated = std::move(m_out);
    piece->deflated.shrink_to_fit();
    piece->crc = m_crc;
    piece->size = m_size;
    m_out.clear();
    m_crc = 0;
    m_size = 0;
    if (deflateReset(&m_stream->zs) != Z_OK) {
        throw std::bad_alloc();
    }
    return piece;
}

PiecePtr deflatePiece(std::string_view text) {
    PieceWriter writer;
    writer.append(text);
    return writer.take();
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

bool inflateRawInto(std::string_view deflated, char* out, std::uint64_t size, std::string& reason) {
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) {
        reason = "out of memory";
        return false;
    }
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    zs.avail_in = static_cast<uInt>(deflated.size());
    std::uint64_t done = 0;
    char spare = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        // Past the expected end, one spare byte is enough to tell that the data runs on.
        const bool beyond = done == size;
        zs.next_out = reinterpret_cast<Bytef*>(beyond ? &spare : out + done);
        zs.avail_out =
            beyond ? 1 : static_cast<uInt>(std::min<std::uint64_t>(size - done, 1u << 30));
        const uInt offered = zs.avail_out;
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) {
            reason = rc == Z_BUF_ERROR   ? "compressed data ends early"
                     : zs.msg != nullptr ? zs.msg
                                         : "damaged compressed data";
            inflateEnd(&zs);
            return false;
        }
        if (beyond && zs.avail_out == 0) {
            reason = "inflates past its limit";
            inflateEnd(&zs);
            return false;
        }
        done += offered - zs.avail_out;
    }
    inflateEnd(&zs);
    if (done != size) {
        reason = "wrong length";
        return false;
    }
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
