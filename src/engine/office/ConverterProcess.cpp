// paperloom-convert: hosts LibreOffice in a process of its own and converts files on request.
//
// The office bridge starts this program with the LibreOffice program folder and a private
// profile folder as arguments and talks to it over the socket on file descriptor 3: after
// LibreOffice has started it answers "ready", then it answers each "convert" request with "ok"
// or "failed" and a reason. It ends when the socket closes or its parent dies. Whatever goes
// wrong inside LibreOffice (a crash, a hang) stays in this process; the bridge kills and
// restarts it.
#include "engine/office/OfficeWire.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
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
    const std::string bytes = office::encodeMessage(message);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(office::kConverterFd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
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
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
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
/// view. Slower, as it starts LibreOffice afresh, so only a fallback.
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

office::Message convert(lok::Office& office, const Fallback& fallback, const std::string& input,
                        const std::string& output, const std::string& format) {
    std::unique_ptr<lok::Document> document(
        office.documentLoad(office::fileUrl(input).c_str(), ""));
    if (!document) {
        const std::string error = lastError(office);
        if (convertBySoffice(fallback, input, output, format)) {
            return {office::kOk};
        }
        return failed(office::kReasonLoad, error);
    }
    if (document->getDocumentType() != LOK_DOCTYPE_TEXT) {
        return failed(office::kReasonNotText,
                      "document type " + std::to_string(document->getDocumentType()));
    }
    if (!document->saveAs(office::fileUrl(output).c_str(), format.c_str(), nullptr)) {
        return failed(office::kReasonSave, lastError(office));
    }
    return {office::kOk};
}

} // namespace

int main(int argc, char** argv) {
    // The bridge sets this before exec too; repeating it costs nothing and covers a start by
    // hand. Writing to a closed socket must end us quietly, not with a message.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGPIPE, SIG_DFL);
    if (argc != 3) {
        std::fprintf(stderr, "usage: paperloom-convert OFFICE-PROGRAM-FOLDER "
                             "-env:UserInstallation=PROFILE-URL\n");
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

    LibreOfficeKit* kit = lok_init_2(programFolder.c_str(), profileUrl.c_str());
    if (kit == nullptr) {
        sendMessage(failed(office::kReasonStart, "lok_init_2 failed for " + programFolder));
        return 1;
    }
    lok::Office office(kit);
    // Without the password feature LibreOffice declines every password request itself, so a
    // protected document fails to load instead of waiting for an answer.
    office.setOptionalFeatures(LOK_FEATURE_NO_TILED_ANNOTATIONS);
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
            reply = convert(office, fallback, (*request)[1], (*request)[2], (*request)[3]);
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
