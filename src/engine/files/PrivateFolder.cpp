// The private temporary folder, and removing those of programs that were killed.
#include "engine/files/PrivateFolder.h"

#include "engine/files/ReplacementFile.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace paperloom::engine {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPrefix = "paperloom-";

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool processEnded(const std::string& pid) {
    const long id = std::strtol(pid.c_str(), nullptr, 10);
    return id > 0 && pid.size() < 10 && ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

} // namespace

std::string temporaryFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir == '/' ? tmpdir : "/tmp";
}

PrivateFolder::~PrivateFolder() {
    if (!m_path.empty()) {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
}

std::string PrivateFolder::newFilePath(const std::string& suffix) {
    if (m_path.empty()) {
        std::string pattern =
            temporaryFolder() + "/" + kPrefix + std::to_string(::getpid()) + "-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            const int error = errno;
            throw WriteError("no temporary folder can be made (" + writeFailureReason(error) + ")",
                             pattern + ": " + std::strerror(error));
        }
        m_path = pattern;
    }
    return m_path + "/" + std::to_string(++m_count) + suffix;
}

void removeOrphanedPrivateFolders(const std::string& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kPrefix, 0) != 0) {
            continue;
        }
        const std::string rest = name.substr(std::strlen(kPrefix));
        const auto dash = rest.find('-');
        if (dash == std::string::npos || !allDigits(rest.substr(0, dash))) {
            continue;
        }
        const std::string tail = rest.substr(dash + 1);
        const bool copy = tail.size() > 5 && tail.ends_with(".docx") &&
                          allDigits(tail.substr(0, tail.size() - 5));
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || st.st_uid != ::getuid()) {
            continue;
        }
        const bool privateFolder = S_ISDIR(st.st_mode) && tail.size() == 6;
        if (!(privateFolder || (copy && S_ISREG(st.st_mode))) ||
            !processEnded(rest.substr(0, dash))) {
            continue;
        }
        std::error_code ignored;
        fs::remove_all(it->path(), ignored);
    }
}

} // namespace paperloom::engine
