// One converter process: starting it, feeding and timing its conversions, stopping it.
#include "office/OfficeProcess.h"

#include "engine/files/ReplacementFile.h"
#include "engine/files/StopRequest.h"
#include "office/CoreLoad.h"
#include "office/OfficeProfile.h"
#include "office/OfficeWire.h"

#include "word/WordAutomation.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

extern char** environ;

namespace paperloom::engine::office {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kOfficePackage = "libreoffice-writer-nogui";
constexpr const char* kConverterName = "paperloom-convert";

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const auto absolute = fs::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool isOfficeProgramFolder(const std::string& folder) {
    return fs::exists(folder + "/libmergedlo.so") || fs::exists(folder + "/libsofficeapp.so");
}

/// "1 second", "30 seconds": a bound as the user reads it, rounded up.
std::string secondsText(std::chrono::milliseconds duration) {
    const long seconds = std::max(1L, static_cast<long>((duration.count() + 999) / 1000));
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

/// A failure of the conversion, told as a failure to open or save the user's file.
class Failure {
public:
    explicit Failure(const ConversionRequest& request)
        : m_file(request.userFile), m_opening(request.direction == Direction::Import) {}
    [[nodiscard]] WordError operator()(const std::string& reason,
                                       const std::string& detail = {}) const {
        return WordError(FailureKind::Conversion, reason,
                         FailureContext{{}, {}, std::nullopt, detail})
            .during(m_opening ? FailedAction::Open : FailedAction::Save, m_file);
    }
    [[nodiscard]] bool opening() const { return m_opening; }

private:
    std::string m_file;
    bool m_opening;
};

/// Sends all of bytes; false when the peer is gone. Never raises SIGPIPE.
bool sendAll(int socket, const std::string& bytes) {
    return writeFully(bytes, [socket](const char* data, std::size_t size) {
        return ::send(socket, data, size, MSG_NOSIGNAL);
    });
}

enum class Received { Message, Closed, TimedOut, Stopped };

/// Waits until a whole message has arrived, the peer closed the socket, the deadline, a stop of
/// the program was asked for or the bridge shuts down (interruptFd readable).
Received receive(int socket, int interruptFd, std::string& buffer, Message& message,
                 Clock::time_point deadline) {
    for (;;) {
        bool malformed = false;
        if (auto taken = takeMessage(buffer, malformed)) {
            message = std::move(*taken);
            return Received::Message;
        }
        if (malformed) {
            return Received::Closed;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return Received::TimedOut;
        }
        pollfd entries[3] = {
            {socket, POLLIN, 0}, {interruptFd, POLLIN, 0}, {stopNotifier(), POLLIN, 0}};
        const int ready = ::poll(entries, entries[2].fd >= 0 ? 3 : 2,
                                 static_cast<int>(std::min<long long>(left.count(), 60'000)));
        if (stopSignal() != 0 || (ready > 0 && (entries[1].revents & POLLIN) != 0)) {
            return Received::Stopped;
        }
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return Received::Closed;
        }
        if (ready == 0 || (entries[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            return Received::Closed;
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

/// What ends a start or a conversion that was interrupted: the stop signal's own error, or,
/// when the bridge shuts down, one that says so.
[[noreturn]] void throwInterrupted() {
    throwIfStopRequested();
    throw WordInterrupted("The conversion was abandoned because Paperloom is closing.",
                          "office bridge shut down");
}

/// The last lines LibreOffice wrote to its log, for the technical detail of a failure.
std::string tailOf(const std::string& path) {
    constexpr std::streamoff kTail = 1500;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return {};
    }
    const std::streamoff size = in.tellg();
    in.seekg(size > kTail ? size - kTail : 0);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text.empty() ? text : "; converter log: " + text;
}

std::uint64_t fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

/// Waits for the answer to a conversion (see receive). The time a conversion takes grows faster
/// than its input (a hundred copies of a three-page form take LibreOffice 150 s into Word 97-2003,
/// forty of them 11 s), so the bound stops only a LibreOffice that has stopped working: at the
/// bound, a short look tells how hard it works, and one still busy (a quarter of a core or more
/// since the last look) gets a few seconds more at a time, up to eight times the bound. given is
/// what it was granted: the bound, or that and the time it earned. The processes are looked at
/// only once a conversion outlives its bound, not for every conversion.
Received awaitConversion(int socket, int interruptFd, std::string& buffer, pid_t group,
                         std::chrono::milliseconds bound, Message& reply,
                         std::chrono::milliseconds& given) {
    constexpr auto kFirstLook = std::chrono::milliseconds(250);
    constexpr auto kSlice = std::chrono::seconds(5);
    constexpr int kMostBounds = 8;
    static const double ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
    const auto started = Clock::now();
    const auto cap = started + kMostBounds * bound;
    auto limit = started + bound;
    given = bound;
    std::optional<long long> ticks;
    auto looked = started;
    for (;;) {
        const auto outcome = receive(socket, interruptFd, buffer, reply, limit);
        if (outcome != Received::TimedOut || limit >= cap) {
            return outcome;
        }
        const auto now = Clock::now();
        const long long total = groupTicks(group);
        if (ticks) {
            const double seconds = std::chrono::duration<double>(now - looked).count();
            if (static_cast<double>(total - *ticks) / ticksPerSecond < 0.25 * seconds) {
                return outcome;
            }
            limit = std::min(now + kSlice, cap);
            given = std::chrono::duration_cast<std::chrono::milliseconds>(limit - started);
        } else {
            limit = std::min<Clock::time_point>(now + kFirstLook, cap);
        }
        ticks = total;
        looked = now;
    }
}

} // namespace

OfficeProcess::OfficeProcess(const OfficeBridgeOptions& options, int interruptFd)
    : m_options(options), m_interruptFd(interruptFd) {}

OfficeProcess::~OfficeProcess() {
    stop();
}

std::string OfficeProcess::tempFolder() const {
    if (!m_options.tempFolder.empty()) {
        return m_options.tempFolder;
    }
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

std::string OfficeProcess::officeFolder() const {
    if (!m_options.officeProgramFolder.empty()) {
        return isOfficeProgramFolder(m_options.officeProgramFolder) ? m_options.officeProgramFolder
                                                                    : std::string();
    }
    std::string searchPath = m_options.searchPath;
    if (searchPath.empty()) {
        const char* path = std::getenv("PATH");
        searchPath = path != nullptr ? path : "";
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        auto end = searchPath.find(':', start);
        if (end == std::string::npos) {
            end = searchPath.size();
        }
        const std::string folder = searchPath.substr(start, end - start);
        start = end + 1;
        if (folder.empty()) {
            continue;
        }
        const std::string candidate = folder + "/soffice";
        if (!isExecutableFile(candidate)) {
            continue;
        }
        std::error_code error;
        const auto real = fs::canonical(candidate, error);
        if (!error && isOfficeProgramFolder(real.parent_path().string())) {
            return real.parent_path().string();
        }
    }
    return {};
}

std::string OfficeProcess::converterProgram() const {
    if (!m_options.converterProgram.empty()) {
        return m_options.converterProgram;
    }
    std::error_code error;
    const auto self = fs::read_symlink("/proc/self/exe", error);
    if (error) {
        return kConverterName;
    }
    const auto beside = self.parent_path() / kConverterName;
    if (isExecutableFile(beside.string())) {
        return beside.string();
    }
    return (self.parent_path().parent_path() / "libexec" / "paperloom" / kConverterName).string();
}

bool OfficeProcess::running() {
    const pid_t pid = m_pid.load();
    if (pid <= 0) {
        return false;
    }
    // A process that ended while idle (killed from outside, say) is replaced quietly.
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
        m_pid = 0;
        stop();
        return false;
    }
    return true;
}

void OfficeProcess::start(const ConversionRequest& request, bool withUno) {
    if (running()) {
        return;
    }
    throwIfStopRequested();
    m_withUno = withUno;
    const Failure fail(request);
    const char* needs = fail.opening() ? "reading this format needs LibreOffice"
                                       : "writing this format needs LibreOffice";
    const std::string folder = officeFolder();
    if (folder.empty()) {
        throw fail(std::string(needs) + ", which is not installed; install the Debian package " +
                       kOfficePackage,
                   "no soffice on the search path");
    }
    const std::string program = converterProgram();
    if (!isExecutableFile(program)) {
        throw fail(std::string(needs) + ", but Paperloom's converter program " + kConverterName +
                       " is missing",
                   program);
    }

    const std::string temp = tempFolder();
    removeOrphanedProfiles(absolutePath(temp));
    std::string pattern =
        absolutePath(temp) + "/" + kProfilePrefix + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        const int error = errno;
        throw fail("no folder for LibreOffice can be made in the temporary folder " + temp + ": " +
                       writeFailureReason(error),
                   pattern + ": " + std::strerror(error));
    }
    m_profileRoot = pattern;
    const std::string log = m_profileRoot + "/converter.log";
    // LibreOffice's own temporary files (lu*.tmp) go inside the profile too, and go with it.
    const std::string officeTemp = m_profileRoot + "/tmp";
    ::mkdir(officeTemp.c_str(), 0700);

    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        removeProfile();
        throw fail("LibreOffice could not be started", std::strerror(errno));
    }
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int logFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);

    // Everything the child needs is made before fork: after it, in a program with threads, the
    // child may only make async-signal-safe calls until exec.
    std::vector<std::string> arguments{program, folder,
                                       "-env:UserInstallation=" + fileUrl(m_profileRoot)};
    if (!withUno) {
        arguments.emplace_back(kUnoElsewhere);
    }
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "SAL_USE_VCLPLUGIN=", 18) != 0 &&
            std::strncmp(*entry, "TMPDIR=", 7) != 0) {
            environment.emplace_back(*entry);
        }
    }
    environment.emplace_back("SAL_USE_VCLPLUGIN=svp");
    environment.emplace_back("TMPDIR=" + officeTemp);
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    const pid_t parent = ::getpid();
    const Clock::time_point begun = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::setpgid(0, 0);
        // Move the descriptors out of the way first, so none is overwritten before it is used.
        const int channel = ::fcntl(sockets[1], F_DUPFD, 10);
        const int in = devNull >= 0 ? ::fcntl(devNull, F_DUPFD, 10) : -1;
        const int err = logFd >= 0 ? ::fcntl(logFd, F_DUPFD, 10) : -1;
        if (channel < 0 || ::dup2(channel, kConverterFd) < 0) {
            ::_exit(127);
        }
        if (in >= 0) {
            ::dup2(in, 0);
        }
        if (err >= 0) {
            ::dup2(err, 1);
            ::dup2(err, 2);
        }
        ::close_range(kConverterFd + 1, ~0U, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        // What LibreOffice writes (converted documents among them) is for us alone. A file size
        // limit fails its writes instead of killing it, so the cause can be told.
        ::umask(077);
        ::signal(SIGXFSZ, SIG_IGN);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(sockets[1]);
    if (devNull >= 0) {
        ::close(devNull);
    }
    if (logFd >= 0) {
        ::close(logFd);
    }
    if (pid < 0) {
        ::close(sockets[0]);
        removeProfile();
        throw fail("LibreOffice could not be started", std::strerror(forkError));
    }
    ::setpgid(pid, pid); // also here, so the group exists whichever side runs first
    m_pid = pid;
    m_socket = sockets[0];
    m_received.clear();
    ++m_starts;
    m_conversions = 0;

    Message reply;
    switch (receive(m_socket, m_interruptFd, m_received, reply, begun + m_options.startTimeout)) {
    case Received::TimedOut:
        stop();
        throw fail("LibreOffice did not start within " + secondsText(m_options.startTimeout),
                   program);
    case Received::Stopped:
        stop();
        throwInterrupted();
    case Received::Closed:
    case Received::Message:
        break;
    }
    if (reply.empty() || reply[0] != kReady) {
        // A LibreOffice that cannot write its profile does not start; the folder says why.
        constexpr std::uint64_t kProfileSize = 4 << 20;
        const int cause = writeProbe(m_profileRoot, kProfileSize);
        const std::string detail = reply.size() >= 3 ? reply[2]
                                   : reply.empty()   ? program + " ended before it was ready"
                                                     : std::string("no ready message");
        stop();
        throw fail(cause == 0 ? std::string("LibreOffice could not be started")
                              : "LibreOffice could not be started in the temporary folder " + temp +
                                    ": " + writeFailureReason(cause),
                   detail);
    }
    m_lastStartSeconds = std::chrono::duration<double>(Clock::now() - begun).count();
}

std::string OfficeProcess::convert(const ConversionRequest& request) {
    const Failure fail(request);
    throwIfStopRequested();
    const auto size = fileSize(request.input);
    const auto bound =
        m_options.convertTimeout + std::chrono::milliseconds(static_cast<long long>(
                                       static_cast<double>(m_options.convertTimeoutPerMiB.count()) *
                                       static_cast<double>(size) / (1024.0 * 1024.0)));

    Message reply;
    Received outcome = Received::Closed;
    std::string output = request.output;
    auto limit = bound; // what the conversion was given in the end
    for (int attempt = 0; attempt < 2; ++attempt) {
        start(request, m_withUno);
        if (request.output.empty()) {
            output = m_profileRoot + "/converted." + request.format;
        }
        const bool warm = m_conversions > 0;
        ++m_conversions;
        outcome = Received::Closed;
        if (sendAll(m_socket, encodeMessage({kConvert, request.input, output, request.format}))) {
            outcome = awaitConversion(m_socket, m_interruptFd, m_received, m_pid.load(), bound,
                                      reply, limit);
        }
        // LibreOffice can be left in a state that crashes it on a later, sound document (a
        // document it failed to show does that). A crash in a process that had converted
        // before earns the file one more try in a fresh one; a fresh process that crashes
        // on it means the file.
        if (outcome != Received::Closed || !warm || stopSignal() != 0) {
            break;
        }
        std::remove(output.c_str());
        stop();
    }
    if (outcome == Received::Stopped) {
        // What LibreOffice is doing is of no use any more, and it may take long.
        stop();
        std::remove(output.c_str());
        throwInterrupted();
    }
    if (outcome == Received::TimedOut) {
        stop();
        std::remove(output.c_str());
        throw fail("LibreOffice did not finish converting it within " + secondsText(limit) +
                       " and was stopped",
                   request.input);
    }
    // LibreOffice says only that it could not write, or dies; the folder it writes in says why.
    const auto writeFailure = [&] {
        const int cause = writeProbe(m_profileRoot, std::max<std::uint64_t>(2 * size, 1 << 20));
        return cause == 0 ? std::string()
                          : "LibreOffice could not write it in the temporary folder " +
                                tempFolder() + ": " + writeFailureReason(cause);
    };
    if (outcome == Received::Closed) {
        const std::string log = tailOf(m_profileRoot + "/converter.log");
        const std::string cause = writeFailure();
        stop();
        std::remove(output.c_str());
        throw fail(cause.empty() ? "LibreOffice stopped unexpectedly while converting it" : cause,
                   request.input + log);
    }
    if (!reply.empty() && reply[0] == kOk) {
        return output;
    }
    const std::string reason = reply.size() >= 2 ? reply[1] : std::string();
    if (reason == kReasonElsewhere && !m_withUno) {
        throw LeftToFirstProcess(request.input);
    }
    const std::string detail =
        (reply.size() >= 3 ? reply[2] : std::string()) + tailOf(m_profileRoot + "/converter.log");
    if (reason == kReasonNotText) {
        throw fail("it is not a text document", detail);
    }
    if (reason == kReasonLoad) {
        throw fail(fail.opening() ? "the document is damaged or in a format that cannot be read"
                                  : "LibreOffice could not read the joined document",
                   detail);
    }
    if (reason == kReasonSave) {
        const std::string cause = writeFailure();
        if (!cause.empty()) {
            throw fail(cause, detail);
        }
        throw fail(fail.opening() ? "LibreOffice could not convert it"
                                  : "LibreOffice could not write it in this format",
                   detail);
    }
    stop();
    throw fail("the converter gave an answer that makes no sense", reason + " " + detail);
}

void OfficeProcess::killProcess() {
    if (m_socket >= 0) {
        ::close(m_socket);
        m_socket = -1;
    }
    const pid_t pid = m_pid.load();
    if (pid > 0) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = 0;
    }
    m_received.clear();
}

void OfficeProcess::removeProfile() {
    if (m_profileRoot.empty()) {
        return;
    }
    removeProfileFolder(m_profileRoot);
    m_profileRoot.clear();
}

void OfficeProcess::stop() {
    killProcess();
    removeProfile();
}

long OfficeProcess::peakKiB() const {
    const pid_t pid = m_pid.load();
    if (pid <= 0) {
        return 0;
    }
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

} // namespace paperloom::engine::office
