// Finding the Word header (FIB) of a compound file, its encryption flag and its comments.
//
// A compound file is a little file system of fixed-size sectors: the header names the sectors
// of the allocation table (FAT) and the first sector of the directory; the directory entry
// named "WordDocument" gives the first sector of the stream that starts with the FIB, whose
// flags word at offset 10 has fEncrypted (0x0100). After a fixed part come three counted
// arrays (16-bit words, 32-bit longs, then pairs of 32-bit offset and length); the length of
// the fifth pair is that of the comment references (PlcfandRef). A stream under the cutoff size
// (4096 bytes) lives in 64-byte mini sectors inside the root entry's own stream instead. Every
// offset read here is checked against the file, and chains are followed for a bounded number of
// steps, so a damaged or hostile file answers false instead of looping or reading outside the file.
#include "office/LegacyWord.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <vector>

namespace paperloom::engine::office {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr int kMaxDirectorySectors = 64;
constexpr std::uint16_t kWordIdent = 0xA5EC;
constexpr std::uint16_t kEncryptedFlag = 0x0100;

std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

class CompoundFile {
public:
    explicit CompoundFile(const std::string& path) : m_in(path, std::ios::binary) {}

    [[nodiscard]] bool readHeader() {
        unsigned char header[512];
        if (!readAt(0, header, sizeof header)) {
            return false;
        }
        static const unsigned char magic[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        if (std::memcmp(header, magic, sizeof magic) != 0) {
            return false;
        }
        const std::uint16_t shift = le16(header + 0x1E);
        if (shift != 9 && shift != 12) {
            return false;
        }
        m_sectorSize = 1u << shift;
        m_firstDirectory = le32(header + 0x30);
        m_miniCutoff = le32(header + 0x38);
        const std::uint16_t miniShift = le16(header + 0x20);
        if (miniShift > shift) {
            return false;
        }
        m_miniSectorSize = 1u << miniShift;
        const std::uint32_t fatSectors = le32(header + 0x2C);
        for (std::uint32_t i = 0; i < fatSectors && i < 109; ++i) {
            m_fatSectors.push_back(le32(header + 0x4C + 4 * i));
        }
        return !m_fatSectors.empty();
    }

    /// Where a stream starts, as its directory entry says.
    struct Stream {
        std::uint32_t start = kEndOfChain;
        std::uint32_t size = 0;
    };

    /// The stream with this name (ASCII), from the directory; also notes the root entry.
    [[nodiscard]] std::optional<Stream> findStream(const char* name) {
        std::uint32_t sector = m_firstDirectory;
        std::vector<unsigned char> buffer(m_sectorSize);
        for (int step = 0; step < kMaxDirectorySectors && sector < kEndOfChain; ++step) {
            if (!readSector(sector, buffer.data())) {
                return std::nullopt;
            }
            for (std::uint32_t at = 0; at + 128 <= m_sectorSize; at += 128) {
                const unsigned char* entry = buffer.data() + at;
                if (entry[0x42] == 5) { // the root entry: its stream holds the mini sectors
                    m_rootStart = le32(entry + 0x74);
                }
                if (entry[0x42] == 2 && nameIs(entry, name)) { // 2: a stream
                    const Stream found{le32(entry + 0x74), le32(entry + 0x78)};
                    if (m_rootStart == kEndOfChain && found.size < m_miniCutoff) {
                        // The root entry comes first in the directory; keep looking for it.
                        m_pending = found;
                        continue;
                    }
                    return found;
                }
            }
            if (m_pending && m_rootStart != kEndOfChain) {
                return m_pending;
            }
            const auto next = nextSector(sector);
            if (!next) {
                return std::nullopt;
            }
            sector = *next;
        }
        return std::nullopt;
    }

    /// The first bytes of a stream (at most one sector or mini sector of them).
    [[nodiscard]] bool readStreamStart(const Stream& stream, unsigned char* out, std::size_t size) {
        if (stream.size >= m_miniCutoff) {
            return size <= m_sectorSize &&
                   readAt((static_cast<std::uint64_t>(stream.start) + 1) * m_sectorSize, out, size);
        }
        if (size > m_miniSectorSize || m_rootStart >= kEndOfChain) {
            return false;
        }
        const std::uint64_t offset = static_cast<std::uint64_t>(stream.start) * m_miniSectorSize;
        std::uint32_t sector = m_rootStart;
        for (std::uint64_t skip = offset / m_sectorSize; skip > 0; --skip) {
            const auto next = nextSector(sector);
            if (!next || *next >= kEndOfChain || skip > (1u << 20)) {
                return false;
            }
            sector = *next;
        }
        return readAt((static_cast<std::uint64_t>(sector) + 1) * m_sectorSize +
                          offset % m_sectorSize,
                      out, size);
    }

    [[nodiscard]] bool readSector(std::uint32_t sector, unsigned char* out) {
        return readAt((static_cast<std::uint64_t>(sector) + 1) * m_sectorSize, out, m_sectorSize);
    }

private:
    static bool nameIs(const unsigned char* entry, const char* name) {
        const std::size_t length = std::strlen(name);
        if (le16(entry + 0x40) != 2 * (length + 1) || length > 31) {
            return false;
        }
        for (std::size_t i = 0; i < length; ++i) {
            if (le16(entry + 2 * i) != static_cast<unsigned char>(name[i])) {
                return false;
            }
        }
        return true;
    }

    std::optional<std::uint32_t> nextSector(std::uint32_t sector) {
        const std::uint32_t perSector = m_sectorSize / 4;
        const std::uint32_t index = sector / perSector;
        if (index >= m_fatSectors.size()) {
            return std::nullopt;
        }
        unsigned char entry[4];
        const std::uint64_t at =
            (static_cast<std::uint64_t>(m_fatSectors[index]) + 1) * m_sectorSize +
            4ull * (sector % perSector);
        if (!readAt(at, entry, sizeof entry)) {
            return std::nullopt;
        }
        return le32(entry);
    }

    bool readAt(std::uint64_t offset, unsigned char* out, std::size_t size) {
        m_in.clear();
        m_in.seekg(static_cast<std::streamoff>(offset));
        m_in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
        return m_in.good() || static_cast<std::size_t>(m_in.gcount()) == size;
    }

    std::ifstream m_in;
    std::uint32_t m_sectorSize = 512;
    std::uint32_t m_firstDirectory = kEndOfChain;
    std::uint32_t m_miniSectorSize = 64;
    std::uint32_t m_miniCutoff = 4096;
    std::uint32_t m_rootStart = kEndOfChain;
    std::optional<Stream> m_pending;
    std::vector<std::uint32_t> m_fatSectors;
};

/// The first size bytes of the FIB of a Word 97-2003 file (at most one sector), or nothing.
std::optional<std::vector<unsigned char>> wordHeader(const std::string& path, std::size_t size) {
    try {
        CompoundFile file(path);
        if (!file.readHeader()) {
            return std::nullopt;
        }
        const auto stream = file.findStream("WordDocument");
        std::vector<unsigned char> fib(size);
        if (!stream || stream->start >= kEndOfChain ||
            !file.readStreamStart(*stream, fib.data(), fib.size()) ||
            le16(fib.data()) != kWordIdent) {
            return std::nullopt;
        }
        return fib;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

bool isPasswordProtectedWordBinary(const std::string& path) {
    const auto fib = wordHeader(path, 12);
    return fib && (le16(fib->data() + 10) & kEncryptedFlag) != 0;
}

bool isWordBinaryWithComments(const std::string& path) {
    // In Word 97 and later files the fixed part, the first two arrays and the first pairs fill
    // less than 512 bytes.
    constexpr std::size_t kRead = 512;
    constexpr std::size_t kCommentPair = 4;
    const auto fib = wordHeader(path, kRead);
    if (!fib) {
        return false;
    }
    std::size_t at = 32;
    const std::size_t words = le16(fib->data() + at);
    at += 2 + 2 * words;
    if (at + 2 > kRead) {
        return false;
    }
    const std::size_t longs = le16(fib->data() + at);
    at += 2 + 4 * longs;
    if (at + 2 > kRead) {
        return false;
    }
    const std::size_t pairs = le16(fib->data() + at);
    at += 2 + 8 * kCommentPair + 4;
    return pairs > kCommentPair && at + 4 <= kRead && le32(fib->data() + at) != 0;
}

} // namespace paperloom::engine::office
