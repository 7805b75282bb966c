// Our LibreOffice profiles: the settings, as the registry file a profile keeps its changes in,
// and their removal.
//
// The documents we convert come from anywhere. A picture linked by URL (file:///home/...) would
// be fetched and end up embedded in a PDF the user shares, so LibreOffice is told to load no
// link of a document that is not in a trusted location (there are none), and never to update
// links. Macros never run. Without locking, LibreOffice makes no ".~lock.NAME#" file beside a
// source document, which a kill would leave behind. LibreOffice keeps only 20 embedded objects
// (charts, formulas) of a document loaded and draws the others from a stored picture, their text
// at another scale; a joined document easily holds more, so the limit is raised.
#include "office/OfficeProfile.h"

#include "office/OfficeWire.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace paperloom::engine::office {
namespace {

constexpr const char* kSettings =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="DisableMacrosExecution" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>3</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="UseLocking" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>0</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Cache/Writer"><prop oor:name="OLE_Objects" oor:op="fuse"><value>1000</value></prop></item>
</oor:items>
)";

namespace fs = std::filesystem;

void removeListedSockets(const std::string& profileFolder) {
    std::ifstream listing(profileFolder + "/" + kUnoProfile + "/" + kSocketList);
    const std::string ours = "/tmp/OSL_PIPE_" + std::to_string(::getuid()) + "_";
    std::string path;
    while (std::getline(listing, path)) {
        struct stat st {};
        if (path.rfind(ours, 0) == 0 && path.find('/', ours.size()) == std::string::npos &&
            ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::getuid()) {
            ::unlink(path.c_str());
        }
    }
}

/// True unless connecting to the socket at path is refused, which says that no process listens
/// on it any more. Anything else (a listener, a path too long to try) counts as in use.
bool socketInUse(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return true;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) {
        return true;
    }
    const bool refused =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno == ECONNREFUSED;
    ::close(probe);
    return !refused;
}

/// Removes the accept pipes of UNO-driven soffices of ours whose converter has ended while its
/// profile, which lists them, was removed by someone else (a killed program's temporary folder
/// cleaned away). The pipe's name carries the converter script's process id: a pipe whose
/// script no longer runs and on which nobody listens any more is left over.
void removeStaleUnoPipes() {
    const std::string prefix =
        "OSL_PIPE_" + std::to_string(::getuid()) + "_" + std::string(kUnoPipePrefix);
    std::error_code error;
    for (fs::directory_iterator it("/tmp", error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::string digits = name.substr(std::min(name.size(), prefix.size()));
        if (name.rfind(prefix, 0) != 0 || digits.empty() || digits.size() > 9 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](unsigned char c) { return std::isdigit(c) != 0; })) {
            continue;
        }
        const std::string path = it->path().string();
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::getuid()) {
            continue;
        }
        const auto owner = static_cast<pid_t>(std::stol(digits));
        if (::kill(owner, 0) != 0 && errno == ESRCH && !socketInUse(path)) {
            ::unlink(path.c_str());
        }
    }
}

} // namespace

bool writeProfileSettings(const std::string& folder) {
    const std::string user = folder + "/user";
    ::mkdir(folder.c_str(), 0700);
    ::mkdir(user.c_str(), 0700);
    const std::string path = user + "/registrymodifications.xcu";
    std::FILE* file = std::fopen(path.c_str(), "wx");
    if (file == nullptr) {
        return false; // already there: LibreOffice has kept ours since it first started
    }
    const std::string text = kSettings;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

void removeProfileFolder(const std::string& folder) {
    removeListedSockets(folder);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

void removeOrphanedProfiles(const std::string& folder) {
    std::error_code error;
    const std::string prefix = kProfilePrefix;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0) {
            continue;
        }
        char* rest = nullptr;
        const long owner = std::strtol(name.c_str() + prefix.size(), &rest, 10);
        struct stat st {};
        if (owner <= 0 || rest == nullptr || *rest != '-' ||
            ::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::getuid()) {
            continue;
        }
        if (::kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) {
            removeProfileFolder(it->path().string());
        }
    }
    removeStaleUnoPipes();
}

} // namespace paperloom::engine::office
