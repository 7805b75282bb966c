// A small zip writer: libzip cannot store data that is already compressed, which saves rely on.
#include "engine/package/ZipWriter.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace paperloom::engine {
namespace {

constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1; // 1980-01-01, the zip epoch
constexpr std::uint64_t kMax32 = 0xFFFFFFFFull;

class Output {
public:
    explicit Output(ReplacementFile& file) : m_file(file) { m_buffer.reserve(kBufferSize); }
    void put16(std::uint16_t v) {
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        put(std::string_view(b, 2));
    }
    void put32(std::uint32_t v) {
        put16(static_cast<std::uint16_t>(v & 0xFFFF));
        put16(static_cast<std::uint16_t>(v >> 16));
    }
    void put(std::string_view bytes) {
        m_offset += bytes.size();
        if (bytes.size() >= kDirectSize) {
            flush();
            writeAll(bytes);
            return;
        }
        if (m_buffer.size() + bytes.size() > kBufferSize) {
            flush();
        }
        m_buffer.append(bytes);
    }
    void flush() {
        writeAll(m_buffer);
        m_buffer.clear();
    }
    [[nodiscard]] std::uint64_t offset() const { return m_offset; }

private:
    static constexpr std::size_t kBufferSize = 1 << 20;
    static constexpr std::size_t kDirectSize = 64 << 10; // larger runs skip the buffer
    void writeAll(std::string_view bytes) { m_file.write(bytes); }
    ReplacementFile& m_file;
    std::string m_buffer;
    std::uint64_t m_offset = 0;
};

struct CentralEntry {
    std::string name;
    std::uint16_t method;
    std::uint32_t crc;
    std::uint64_t compressed;
    std::uint64_t size;
    std::uint64_t offset;
};

/// The fields a local header and its central directory entry share, from the version needed to
/// the name's length.
void putSharedHeaderFields(Output& out, const CentralEntry& entry) {
    out.put16(20);
    out.put16(0x0800); // names are UTF-8
    out.put16(entry.method);
    out.put16(0);
    out.put16(kDosDate);
    out.put32(entry.crc);
    out.put32(static_cast<std::uint32_t>(entry.compressed));
    out.put32(static_cast<std::uint32_t>(entry.size));
    out.put16(static_cast<std::uint16_t>(entry.name.size()));
}

void writeEntries(const Package& package, Output& out) {
    std::vector<std::pair<const std::string*, const PartData*>> order;
    for (const char* first : {"[Content_Types].xml", "_rels/.rels"}) {
        const auto it = package.parts.find(first);
        if (it != package.parts.end()) {
            order.emplace_back(&it->first, it->second.get());
        }
    }
    for (const auto& [name, part] : package.parts) {
        if (name != "[Content_Types].xml" && name != "_rels/.rels") {
            order.emplace_back(&name, part.get());
        }
    }
    if (order.size() > 0xFFFF) {
        throw WriteError("the document has too many parts", std::to_string(order.size()));
    }
    std::vector<CentralEntry> central;
    for (const auto& [name, part] : order) {
        CentralEntry entry{*name,        static_cast<std::uint16_t>(part->method()),
                           part->crc(),  part->compressedSize(),
                           part->size(), out.offset()};
        if (entry.compressed > kMax32 || entry.size > kMax32 || entry.offset > kMax32) {
            throw WriteError("the document is too large", *name);
        }
        out.put32(0x04034b50);
        putSharedHeaderFields(out, entry);
        out.put16(0);
        out.put(entry.name);
        part->forEachStoredRun([&](std::string_view run) { out.put(run); });
        central.push_back(std::move(entry));
    }
    const std::uint64_t centralStart = out.offset();
    for (const auto& entry : central) {
        out.put32(0x02014b50);
        out.put16(20); // made by
        putSharedHeaderFields(out, entry);
        out.put16(0);
        out.put16(0);
        out.put16(0);
        out.put16(0);
        out.put32(0);
        out.put32(static_cast<std::uint32_t>(entry.offset));
        out.put(entry.name);
    }
    const std::uint64_t centralSize = out.offset() - centralStart;
    if (centralStart > kMax32) {
        throw WriteError("the document is too large", "central directory offset");
    }
    out.put32(0x06054b50);
    out.put16(0);
    out.put16(0);
    out.put16(static_cast<std::uint16_t>(central.size()));
    out.put16(static_cast<std::uint16_t>(central.size()));
    out.put32(static_cast<std::uint32_t>(centralSize));
    out.put32(static_cast<std::uint32_t>(centralStart));
    out.put16(0);
    out.flush();
}

} // namespace

void writeZipPackage(const Package& package, const std::string& path, FileAccess access) {
    ReplacementFile file(path, access);
    Output out(file);
    writeEntries(package, out);
    file.commit();
}

} // namespace paperloom::engine
