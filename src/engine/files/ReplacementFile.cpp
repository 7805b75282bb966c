// Replacing a file through a temporary beside it, with symbolic links followed and only regular
// files ever replaced.
#include "engine/files/ReplacementFile.h"

#include "engine/files/TemporaryRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <random>

namespace paperloom::engine {
namespace {

// Linux gives up on a path after this many links; so do we, with our own sentence.
constexpr int kMaxLinkHops = 40;
// The temporary's name is ".NAME." plus this many random characters.
constexpr std::size_t kSuffixLength = 6;
constexpr std::size_t kNameOverhead = kSuffixLength + 2;
constexpr std::size_t kCopyChunk = 1 << 20;

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

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string randomSuffix() {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // One per thread: the background conversions replace files beside the window's saves.
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        suffix += kAlphabet[pick(generator)];
    }
    return suffix;
}

// The temporary name adds ".", "." and the suffix to the target's name; a name near the
// folder's limit is cut (at a character boundary of UTF-8) so the temporary still fits.
std::string temporaryStem(const std::string& folder, const std::string& base) {
    const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    const std::size_t nameMax =
        limit > static_cast<long>(kNameOverhead) ? static_cast<std::size_t>(limit) : NAME_MAX;
    std::size_t keep = std::min(base.size(), nameMax - kNameOverhead);
    while (keep > 0 && keep < base.size() &&
           (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) {
        --keep;
    }
    return folder + "." + base.substr(0, keep) + ".";
}

} // namespace

bool isReplacementTemporaryName(std::string_view name) {
    if (name.size() < kSuffixLength + 3 || name.front() != '.' ||
        name[name.size() - kSuffixLength - 1] != '.') {
        return false;
    }
    return std::all_of(name.end() - kSuffixLength, name.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

std::string writeFailureReason(int error) {
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
    case EFBIG:
        return "the file would be larger than this system allows";
    case EISDIR:
        return "a folder has that name";
    case ENAMETOOLONG:
        return "the name is too long";
    case ELOOP:
        return "the name leads to a loop of symbolic links";
    default:
        return "the file cannot be written";
    }
}

int writeProbe(const std::string& folder, std::uint64_t bytes) {
    constexpr std::uint64_t kMaxProbe = 16 << 20;
    bytes = std::min(bytes, kMaxProbe);
    struct statvfs space {};
    if (::statvfs(folder.c_str(), &space) == 0 &&
        static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize < bytes) {
        return ENOSPC;
    }
    std::string probe = folder + "/.write-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return errno;
    }
    ::unlink(probe.c_str());
    const std::string chunk(std::size_t{64} << 10, '\0');
    int error = 0;
    for (std::uint64_t written = 0; written < bytes && error == 0;) {
        const auto size =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), bytes - written));
        const ssize_t n = ::write(fd, chunk.data(), size);
        if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n > 0) {
            written += static_cast<std::uint64_t>(n);
        }
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR) {
        error = errno;
    }
    return error;
}

std::string nonRegularKind(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return {};
}

std::string replacementTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return target; // a missing target is made; other errors show when it is written
        }
        if (hops == kMaxLinkHops) {
            throw WriteError(writeFailureReason(ELOOP), path);
        }
        std::string link(static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) + 1, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<std::size_t>(length) >= link.size()) {
            return target; // changed under us; writing to the name itself is all that is left
        }
        link.resize(static_cast<std::size_t>(length));
        target = link.front() == '/' ? link : folderOf(target) + link;
    }
}

ReplacementFile::ReplacementFile(const std::string& path, FileAccess access)
    : m_target(replacementTarget(path)) {
    const std::string folder = folderOf(m_target);
    const std::string base = m_target.substr(folder.size());
    if (base.empty() || base == "." || base == "..") {
        throw WriteError("the name is not a file name", path);
    }
    m_mode = access == FileAccess::OwnerOnly ? 0600 : 0666 & ~processUmask();
    struct stat existing {};
    if (::stat(m_target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            throw WriteError(writeFailureReason(EISDIR), m_target);
        }
        // Renaming over a device or a pipe would put a file where the system has its own
        // (as root, /dev/null); what writes there is never a document the user can keep.
        const std::string kind = nonRegularKind(existing.st_mode);
        if (!kind.empty()) {
            throw WriteError("it is " + kind + ", not a file", m_target);
        }
        if (access == FileAccess::Umask) {
            m_mode = existing.st_mode & 07777;
        }
    }
    const std::string stem = temporaryStem(folder, base);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temporary = stem + randomSuffix();
        m_record = std::make_unique<TemporaryRecord>(m_temporary);
        m_fd =
            ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        const int error = errno;
        if (m_fd < 0) {
            m_record.reset(); // the name was taken, or nothing was made
        }
        if (m_fd < 0 && error != EEXIST) {
            m_temporary.clear();
            throw WriteError(writeFailureReason(error),
                             (folder.empty() ? "." : folder) + ": " + std::strerror(error));
        }
    }
    if (m_fd < 0) {
        m_temporary.clear();
        throw WriteError(writeFailureReason(EEXIST), stem + "XXXXXX: all names taken");
    }
}

ReplacementFile::~ReplacementFile() {
    discard();
}

void ReplacementFile::discard() noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_committed && !m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
    m_record.reset();
}

void ReplacementFile::fail(int error, const std::string& where) {
    discard();
    throw WriteError(writeFailureReason(error), where + ": " + std::strerror(error));
}

void ReplacementFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail(n < 0 ? errno : ENOSPC, m_temporary);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void ReplacementFile::copyFrom(const std::string& sourcePath) {
    const int source = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        const int error = errno;
        discard();
        throw WriteError("the temporary copy cannot be read",
                         sourcePath + ": " + std::strerror(error));
    }
    std::string chunk(kCopyChunk, '\0');
    for (;;) {
        const ssize_t n = ::read(source, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(source);
            discard();
            throw WriteError("the temporary copy cannot be read",
                             sourcePath + ": " + std::strerror(error));
        }
        if (n == 0) {
            break;
        }
        try {
            write(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
        } catch (...) {
            ::close(source);
            throw;
        }
    }
    ::close(source);
}

void ReplacementFile::commit() {
    if (::fchmod(m_fd, m_mode) != 0) {
        fail(errno, m_temporary);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        fail(errno, m_temporary); // a full disk may show only now
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        fail(errno, m_target);
    }
    m_committed = true;
    m_record.reset();
}

} // namespace paperloom::engine
