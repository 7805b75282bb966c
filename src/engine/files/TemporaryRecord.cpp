// The journal of temporaries, its table for the second stop signal, and the clean-up at start.
#include "engine/files/TemporaryRecord.h"

#include "engine/files/PrivateFolder.h"
#include "engine/files/ReplacementFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace paperloom::engine {
namespace {

namespace fs = std::filesystem;

// Saves run one at a time; a few slots cover a save and a conversion's copy at once.
constexpr int kSlots = 8;

struct Slot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> ready{false};
    char path[PATH_MAX];
};
Slot g_slots[kSlots];

std::string journalFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (state != nullptr && state[0] == '/') {
        base = state;
    } else if (home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    return base + "/paperloom/temporaries";
}

// Makes folder and the folders above it that are missing, for the user alone.
bool makeFolders(const std::string& folder) {
    for (std::size_t at = folder.find('/', 1); at != std::string::npos;
         at = folder.find('/', at + 1)) {
        ::mkdir(folder.substr(0, at).c_str(), 0700);
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string absolute(const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return path;
    }
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + path : path;
}

bool processRuns(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

// A regular file of this user named as ReplacementFile names its temporaries, and nothing else.
bool isOurTemporary(const std::string& path) {
    if (!isReplacementTemporaryName(fs::path(path).filename().string())) {
        return false;
    }
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid();
}

} // namespace

TemporaryRecord::TemporaryRecord(const std::string& path) {
    const std::string full = absolute(path);
    for (int i = 0; i < kSlots && full.size() < PATH_MAX; ++i) {
        bool free = false;
        if (g_slots[i].claimed.compare_exchange_strong(free, true)) {
            std::memcpy(g_slots[i].path, full.c_str(), full.size() + 1);
            g_slots[i].ready.store(true);
            m_slot = i;
            break;
        }
    }
    const std::string folder = journalFolder();
    if (folder.empty() || !makeFolders(folder)) {
        return;
    }
    // Saves and the background conversions' copies make records from several threads.
    static std::atomic<unsigned> counter{0};
    const std::string entry =
        folder + "/" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    const int fd = ::open(entry.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    const std::string line = full + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (written) {
        m_entry = entry;
    } else {
        ::unlink(entry.c_str());
    }
}

TemporaryRecord::~TemporaryRecord() {
    if (m_slot >= 0) {
        g_slots[m_slot].ready.store(false);
        g_slots[m_slot].claimed.store(false);
    }
    if (!m_entry.empty()) {
        ::unlink(m_entry.c_str());
    }
}

void removeRecordedTemporaries() noexcept {
    for (Slot& slot : g_slots) {
        if (slot.ready.load()) {
            ::unlink(slot.path);
        }
    }
}

void removeLeftovers() {
    const std::string folder = journalFolder();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        char* rest = nullptr;
        const long pid = std::strtol(name.c_str(), &rest, 10);
        if (pid <= 0 || rest == nullptr || *rest != '-' || processRuns(pid)) {
            continue;
        }
        std::ifstream entry(it->path());
        std::string path;
        if (std::getline(entry, path) && isOurTemporary(path)) {
            ::unlink(path.c_str());
        }
        ::unlink(it->path().c_str());
    }
    removeOrphanedPrivateFolders(temporaryFolder());
}

} // namespace paperloom::engine
