// paperloom-convert: hosts LibreOffice in a process of its own and converts files on request.
//
// The office bridge starts this program with the LibreOffice program folder and a private
// profile folder as arguments and talks to it over the socket on file descriptor 3: after
// LibreOffice has started it answers "ready", then it answers each "convert" request with "ok"
// or "failed" and a reason. It ends when the socket closes or its parent dies. Whatever goes
// wrong inside LibreOffice (a crash, a hang) stays in this process; the bridge kills and
// restarts it.
#include "office/LegacyWord.h"
#include "office/OfficeProfile.h"
#include "office/OfficeWire.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#define LOK_USE_UNSTABLE_API
#include <LibreOfficeKit/LibreOfficeKit.hxx>
#include <LibreOfficeKit/LibreOfficeKitEnums.h>
#include <LibreOfficeKit/LibreOfficeKitInit.h>

namespace office = paperloom::engine::office;
namespace fs = std::filesystem;

namespace {

bool sendMessage(const office::Message& message) {
    return office::writeFully(office::encodeMessage(message),
                              [](const char* data, std::size_t size) {
                                  return ::write(office::kConverterFd, data, size);
                              });
}

/// The next request, or nothing when the bridge has gone away or sent garbage.
std::optional<office::Message> receiveMessage(std::string& buffer) {
    for (;;) {
        bool malformed = false;
        if (auto message = office::takeMessage(buffer, malformed)) {
            return message;
        }
        if (malformed) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t n = ::read(office::kConverterFd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string lastError(lok::Office& office) {
    char* error = office.getError();
    std::string text = error != nullptr ? error : "";
    if (error != nullptr) {
        office.freeError(error);
    }
    return text;
}

office::Message failed(const char* reason, std::string detail) {
    return {office::kFailed, reason, std::move(detail)};
}

/// What the fallback needs: where LibreOffice lives and a profile of its own (the hosted
/// LibreOffice holds the main one).
struct Fallback {
    std::string programFolder;
    std::string profileUrl;
    std::string workFolder;
};

/// The argv of execv over arguments, which must outlive it.
std::vector<char*> argumentVector(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return argv;
}

/// Runs soffice.bin --convert-to once; its exit status, or -1 when it could not run.
int runSoffice(const Fallback& fallback, const std::string& input, const std::string& format) {
    std::vector<std::string> arguments{fallback.programFolder + "/soffice.bin",
                                       "-env:UserInstallation=" + fallback.profileUrl,
                                       "--headless",
                                       "--invisible",
                                       "--norestore",
                                       "--nologo",
                                       "--nolockcheck",
                                       "--convert-to",
                                       format,
                                       "--outdir",
                                       fallback.workFolder,
                                       input};
    std::vector<char*> argv = argumentVector(arguments);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Dies with us, and we die with the bridge; our process group is killed as a whole.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close(office::kConverterFd);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid < 0) {
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Converts with a separate soffice run, for the documents the hosted LibreOffice imports but
/// cannot open. It opens every document in a view, and in the no-GUI build a view of a document
/// with comments fails (the comment window's layout is not installed); --convert-to makes no
/// view. It starts LibreOffice afresh every time, so it is the last resort, for when the warm
/// UNO converter below is not available.
bool convertBySoffice(const Fallback& fallback, const std::string& input, const std::string& output,
                      const std::string& format) {
    std::error_code error;
    fs::remove_all(fallback.workFolder, error);
    fs::create_directories(fallback.workFolder, error);
    if (error) {
        return false;
    }
    int status = runSoffice(fallback, input, format);
    constexpr int kRestartAfterProfileCreation = 81;
    if (status == kRestartAfterProfileCreation) {
        status = runSoffice(fallback, input, format);
    }
    const fs::path converted =
        fs::path(fallback.workFolder) / (fs::path(input).stem().string() + "." + format);
    if (status != 0 || !fs::exists(converted)) {
        return false;
    }
    fs::rename(converted, output, error);
    if (error) {
        fs::copy_file(converted, output, fs::copy_options::overwrite_existing, error);
    }
    return !error;
}

/// The warm fallback: paperloom-convert-uno, a Python UNO client of a headless LibreOffice of its
/// own, which loads documents into a text document made without a view. Started at the first
/// document that needs it and kept; when it cannot be started (no Python UNO, say) it is not
/// tried again and the cold soffice run serves instead.
class UnoConverter {
public:
    UnoConverter(std::string script, const Fallback& fallback, bool elsewhere)
        : m_script(std::move(script)), m_fallback(fallback), m_elsewhere(elsewhere) {}
    ~UnoConverter() { stop(); }
    UnoConverter(const UnoConverter&) = delete;
    UnoConverter& operator=(const UnoConverter&) = delete;

    /// The converter's answer, or nothing when it is not available or died on this document.
    /// In a process that leaves such documents to another, the answer that says so.
    std::optional<office::Message> convert(const std::string& input, const std::string& output,
                                           const std::string& format, bool dropComments = false) {
        if (m_elsewhere) {
            return failed(office::kReasonElsewhere, input);
        }
        if (m_pid <= 0 && !spawn()) {
            return std::nullopt;
        }
        if (!m_ready && !awaitReady()) {
            return std::nullopt;
        }
        // fileUrl leaves nothing in a URL that JSON would need escaped.
        const std::string request =
            "{\"input\": \"" + office::fileUrl(input) + "\", \"output\": \"" +
            office::fileUrl(output) + "\", \"format\": \"" + format +
            "\", \"dropComments\": " + (dropComments ? "true" : "false") + "}\n";
        std::string reply;
        if (!writeAll(request) || !readLine(reply)) {
            stop();
            return std::nullopt;
        }
        if (reply == "\"ok\"") {
            return office::Message{office::kOk};
        }
        const bool saving = reply.find("\"save\"") != std::string::npos;
        return failed(saving ? office::kReasonSave : office::kReasonLoad, reply);
    }

    /// Starts the converter without waiting for it, so its LibreOffice comes up beside ours
    /// rather than after it, when the first document with comments arrives.
    void prestart() {
        if (m_pid <= 0 && !m_elsewhere) {
            spawn();
        }
    }

private:
    bool spawn() {
        constexpr const char* kPython = "/usr/bin/python3";
        if (m_unavailable || ::access(m_script.c_str(), R_OK) != 0 ||
            ::access(kPython, X_OK) != 0) {
            m_unavailable = true;
            return false;
        }
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0) {
            m_unavailable = true;
            return false;
        }
        if (::pipe2(fromChild, O_CLOEXEC) != 0) {
            ::close(toChild[0]);
            ::close(toChild[1]);
            m_unavailable = true;
            return false;
        }
        // Python finds its library from the name it is started under, searched on PATH when it
        // has no folder: with a virtual environment or another Python first on the user's PATH
        // it would miss the system's UNO module, and every document the hosted LibreOffice cannot
        // open would wait for a cold soffice. Isolated mode keeps PYTHONPATH, PYTHONHOME and the
        // user's site packages out as well.
        std::vector<std::string> arguments{kPython, "-I", m_script, m_fallback.programFolder,
                                           m_fallback.profileUrl};
        std::vector<char*> argv = argumentVector(arguments);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::close(office::kConverterFd);
            ::execv(kPython, argv.data());
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        if (pid < 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            m_unavailable = true;
            return false;
        }
        m_pid = pid;
        m_to = toChild[1];
        m_from = fromChild[0];
        m_ready = false;
        return true;
    }

    bool awaitReady() {
        std::string line;
        if (!readLine(line) || line != "ready") {
            stop();
            m_unavailable = true;
            return false;
        }
        m_ready = true;
        return true;
    }

    void stop() {
        if (m_to >= 0) {
            ::close(m_to);
            m_to = -1;
        }
        if (m_from >= 0) {
            ::close(m_from);
            m_from = -1;
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            m_pid = 0;
        }
        m_buffer.clear();
    }

    bool writeAll(const std::string& text) {
        return office::writeFully(
            text, [this](const char* data, std::size_t size) { return ::write(m_to, data, size); });
    }

    bool readLine(std::string& line) {
        for (;;) {
            const auto end = m_buffer.find('\n');
            if (end != std::string::npos) {
                line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return true;
            }
            char chunk[4096];
            const ssize_t n = ::read(m_from, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0 || m_buffer.size() > office::kMaxFieldBytes) {
                return false;
            }
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    std::string m_script;
    Fallback m_fallback;
    pid_t m_pid = 0;
    int m_to = -1;
    int m_from = -1;
    std::string m_buffer;
    bool m_ready = false;
    bool m_unavailable = false;
    bool m_elsewhere;
};

/// The UNO converter script: beside this program (build tree and installation alike).
std::string unoScript() {
    std::error_code error;
    const auto self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : (self.parent_path() / "paperloom-convert-uno").string();
}

/// True for a WordprocessingML package with comments. The hosted LibreOffice imports such a
/// document in full before it fails to open it, so these go to the UNO converter at once. Part
/// names are stored uncompressed in a zip, so a plain search finds the comments part; a false
/// match only costs the other converter.
bool isPackageWithComments(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::string bytes;
    char chunk[65536];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, n);
        if (bytes.compare(0, 2, "PK") != 0) {
            break;
        }
    }
    std::fclose(file);
    return bytes.compare(0, 2, "PK") == 0 && bytes.find("word/comments.xml") != std::string::npos;
}

/// The lock file LibreOffice makes beside a document it loads. A failed load leaves it behind.
fs::path lockFileOf(const std::string& input) {
    const fs::path path(input);
    return path.parent_path() / (".~lock." + path.filename().string() + "#");
}

office::Message convertHosted(lok::Office& office, const Fallback& fallback, UnoConverter& uno,
                              const std::string& input, const std::string& output,
                              const std::string& format) {
    std::error_code error;
    // A lock that is there already is the user's own LibreOffice's, and stays.
    const bool lockedBefore = fs::exists(lockFileOf(input), error);
    std::unique_ptr<lok::Document> document(
        office.documentLoad(office::fileUrl(input).c_str(), ""));
    if (!document) {
        const std::string message = lastError(office);
        if (!lockedBefore) {
            fs::remove(lockFileOf(input), error);
        }
        if (auto reply = uno.convert(input, output, format)) {
            return *reply;
        }
        if (convertBySoffice(fallback, input, output, format)) {
            return {office::kOk};
        }
        return failed(office::kReasonLoad, message);
    }
    if (document->getDocumentType() != LOK_DOCTYPE_TEXT) {
        return failed(office::kReasonNotText,
                      "document type " + std::to_string(document->getDocumentType()));
    }
    // The file goes into our private folder, which the bridge reads or copies at once: syncing
    // it to the disk first only makes every conversion wait for the disk.
    if (!document->saveAs(office::fileUrl(output).c_str(), format.c_str(), "NoFileSync")) {
        return failed(office::kReasonSave, lastError(office));
    }
    return {office::kOk};
}

/// A PDF needs a layout, which LibreOffice makes only with a view, and the no-GUI LibreOffice
/// cannot show a document with comments in one. A PDF shows no comments anyway, so the UNO
/// converter writes the document without them and the hosted LibreOffice lays that out.
/// Nothing when the UNO converter is not available.
std::optional<office::Message>
convertToPdfWithoutComments(lok::Office& office, const Fallback& fallback, UnoConverter& uno,
                            const std::string& input, const std::string& output) {
    const std::string plain = fallback.workFolder + "-without-comments.odt";
    auto reply = uno.convert(input, plain, "odt", true);
    if (!reply || reply->empty() || (*reply)[0] != office::kOk) {
        std::remove(plain.c_str());
        return reply;
    }
    office::Message converted = convertHosted(office, fallback, uno, plain, output, "pdf");
    std::remove(plain.c_str());
    return converted;
}

office::Message convert(lok::Office& office, const Fallback& fallback, UnoConverter& uno,
                        const std::string& input, const std::string& output,
                        const std::string& format) {
    if (isPackageWithComments(input) ||
        paperloom::engine::office::isWordBinaryWithComments(input)) {
        auto reply = format == "pdf"
                         ? convertToPdfWithoutComments(office, fallback, uno, input, output)
                         : uno.convert(input, output, format);
        if (reply) {
            return *reply;
        }
    }
    return convertHosted(office, fallback, uno, input, output, format);
}

/// Loads a document of one line once and saves it as WordprocessingML. A first load that fails
/// (a document with comments) leaves LibreOffice in a state that crashes it on the next
/// document; a first load that succeeds does not. The save loads the Word filters (their
/// library reads the legacy format too), which would otherwise slow the first real conversion.
void warmUp(lok::Office& office, const std::string& profileFolder) {
    const std::string path = profileFolder + "/warm-up.rtf";
    const std::string legacy = profileFolder + "/warm-up.doc";
    const std::string saved = profileFolder + "/warm-up.docx";
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fputs("{\\rtf1 .}", file);
        std::fclose(file);
        std::unique_ptr<lok::Document> document(office.documentLoad(office::fileUrl(path).c_str()));
        if (document && document->saveAs(office::fileUrl(legacy).c_str(), "doc", "NoFileSync")) {
            document.reset(office.documentLoad(office::fileUrl(legacy).c_str()));
            if (document) {
                document->saveAs(office::fileUrl(saved).c_str(), "docx", "NoFileSync");
            }
        }
    }
    for (const std::string& made : {path, legacy, saved}) {
        std::remove(made.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    // The bridge sets this before exec too; repeating it costs nothing and covers a start by
    // hand. Writing to a closed socket must end us quietly, not with a message.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGPIPE, SIG_DFL);
    const bool unoElsewhere = argc == 4 && std::strcmp(argv[3], office::kUnoElsewhere) == 0;
    if (argc != 3 && !unoElsewhere) {
        std::fprintf(stderr,
                     "usage: paperloom-convert OFFICE-PROGRAM-FOLDER "
                     "-env:UserInstallation=PROFILE-URL [%s]\n",
                     office::kUnoElsewhere);
        return 2;
    }
    // The profile is given the way soffice takes it, so a scan of running processes sees at
    // once whose profile this process uses.
    const std::string programFolder = argv[1];
    const std::string profileOption = argv[2];
    const std::string optionName = "-env:UserInstallation=";
    if (profileOption.rfind(optionName, 0) != 0) {
        std::fprintf(stderr, "paperloom-convert: the second argument must be %sURL\n",
                     optionName.c_str());
        return 2;
    }
    const std::string profileUrl = profileOption.substr(optionName.size());
    const std::string profileFolder = office::filePathOf(profileUrl);
    const Fallback fallback{programFolder, profileUrl + "/fallback",
                            profileFolder + "/fallback-out"};
    for (const std::string& profile :
         {std::string(), "/" + std::string(office::kUnoProfile), std::string("/fallback")}) {
        office::writeProfileSettings(profileFolder + profile);
    }

    // A profile of its own: soffice runs that share a profile hand their work to each other.
    UnoConverter uno(unoScript(),
                     Fallback{programFolder, profileUrl + "/" + office::kUnoProfile, {}},
                     unoElsewhere);
    uno.prestart();
    LibreOfficeKit* kit = lok_init_2(programFolder.c_str(), profileUrl.c_str());
    if (kit == nullptr) {
        sendMessage(failed(office::kReasonStart, "lok_init_2 failed for " + programFolder));
        return 1;
    }
    lok::Office office(kit);
    // Without the password feature LibreOffice declines every password request itself, so a
    // protected document fails to load instead of waiting for an answer.
    office.setOptionalFeatures(LOK_FEATURE_NO_TILED_ANNOTATIONS);
    warmUp(office, profileFolder);
    if (!sendMessage({office::kReady})) {
        ::_exit(0);
    }

    std::string buffer;
    for (;;) {
        const auto request = receiveMessage(buffer);
        if (!request) {
            break;
        }
        office::Message reply;
        if (request->size() == 4 && (*request)[0] == office::kConvert) {
            reply = convert(office, fallback, uno, (*request)[1], (*request)[2], (*request)[3]);
        } else {
            reply = failed(office::kReasonRequest, "unknown request");
        }
        if (!sendMessage(reply)) {
            break;
        }
    }
    // Tearing LibreOffice down takes time and has nothing to save: the profile is temporary
    // and the bridge removes it.
    ::_exit(0);
}
