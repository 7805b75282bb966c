// A small zip writer: libzip cannot store data that is already compressed, which saves rely on.
#include "engine/ZipWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace paperloom::engine {
namespace {

constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1; // 1980-01-01, the zip epoch
constexpr std::uint64_t kMax32 = 0xFFFFFFFFull;

std::string reasonFor(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "the folder does not exist";
    case EACCES:
    case EPERM:
        return "there is no permission to write there";
    case EROFS:
        return "the folder is read-only";
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EISDIR:
        return "a folder has that name";
    case ENAMETOOLONG:
        return "the name is too long";
    default:
        return "the file cannot be written";
    }
}

class Output {
public:
    explicit Output(int fd) : m_fd(fd) { m_buffer.reserve(kBufferSize); }
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
    void writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                const int error = errno;
                throw WriteError(reasonFor(error), std::strerror(error));
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    int m_fd;
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
        out.put16(20);
        out.put16(0x0800); // names are UTF-8
        out.put16(entry.method);
        out.put16(0);
        out.put16(kDosDate);
        out.put32(entry.crc);
        out.put32(static_cast<std::uint32_t>(entry.compressed));
        out.put32(static_cast<std::uint32_t>(entry.size));
        out.put16(static_cast<std::uint16_t>(entry.name.size()));
        out.put16(0);
        out.put(entry.name);
        part->forEachStoredRun([&](std::string_view run) { out.put(run); });
        central.push_back(std::move(entry));
    }
    const std::uint64_t centralStart = out.offset();
    for (const auto& entry : central) {
        out.put32(0x02014b50);
        out.put16(20);
        out.put16(20);
        out.put16(0x0800);
        out.put16(entry.method);
        out.put16(0);
        out.put16(kDosDate);
        out.put32(entry.crc);
        out.put32(static_cast<std::uint32_t>(entry.compressed));
        out.put32(static_cast<std::uint32_t>(entry.size));
        out.put16(static_cast<std::uint16_t>(entry.name.size()));
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

mode_t processUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        }
    }
    return 022;
}

} // namespace

void writeZipPackage(const Package& package, const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) {
        throw WriteError("the name is not a file name", path);
    }
    struct stat existing {};
    mode_t mode = 0666 & ~processUmask();
    if (::stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            throw WriteError("a folder has that name", path);
        }
        mode = existing.st_mode & 07777;
    }
    std::string temp =
        (slash == std::string::npos ? std::string() : folder) + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        const int error = errno;
        throw WriteError(reasonFor(error), folder + ": " + std::strerror(error));
    }
    bool open = true;
    try {
        Output out(fd);
        writeEntries(package, out);
        const bool modeSet = ::fchmod(fd, mode) == 0;
        int error = modeSet ? 0 : errno;
        open = false;
        if (::close(fd) != 0 && error == 0) {
            error = errno; // a full disk may show only now
        }
        if (error != 0) {
            throw WriteError(reasonFor(error), temp + ": " + std::strerror(error));
        }
    } catch (...) {
        if (open) {
            ::close(fd);
        }
        ::unlink(temp.c_str());
        throw;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw WriteError(reasonFor(error), path + ": " + std::strerror(error));
    }
}

} // namespace paperloom::engine
