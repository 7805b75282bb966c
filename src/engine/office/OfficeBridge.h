// The office bridge: other document formats converted by a LibreOffice we run ourselves.
#pragma once

#include "engine/DocumentConverter.h"

#include <sys/types.h>

#include <chrono>
#include <string>

namespace paperloom::engine::office {

/// Where the bridge finds its programs and how long it waits for them.
struct OfficeBridgeOptions {
    /// LibreOffice's program folder (the one holding libmergedlo.so); empty means the folder of
    /// the `soffice` found on the search path below.
    std::string officeProgramFolder;
    /// Where `soffice` is looked for; empty means the PATH of the environment.
    std::string searchPath;
    /// The converter program; empty means paperloom-convert beside the running program, then
    /// in ../libexec/paperloom/ from it.
    std::string converterProgram;
    /// Where the private profile folder is made; empty means TMPDIR, else /tmp.
    std::string tempFolder;
    /// How long LibreOffice may take to start.
    std::chrono::milliseconds startTimeout{60'000};
    /// How long one conversion may take: the base plus so much per MiB of its input.
    std::chrono::milliseconds convertTimeout{30'000};
    std::chrono::milliseconds convertTimeoutPerMiB{10'000};
};

/// Converts legacy Word, RTF, ODF and PDF through a headless LibreOffice hosted by our own
/// converter program (paperloom-convert, built on LibreOfficeKit), which runs in a process of
/// its own. Documents LibreOfficeKit cannot open (those with comments, in the no-GUI build) it
/// hands to a second, UNO-driven LibreOffice of its own (paperloom-convert-uno), which starts
/// beside the first so that such a document never waits for a start.
///
/// The process starts on the first conversion and stays warm until the bridge is destroyed.
/// It gets a private, temporary LibreOffice profile in a folder named
/// "paperloom-office-profile-<our pid>-*", given on its command line as soffice takes it,
/// so a LibreOffice of the user's own is never disturbed, and it is removed with the process.
/// LibreOffice keeps its own temporary files in that folder, writes everything there for the
/// user alone, loads nothing a document links to and runs no macros (OfficeProfile). A saved
/// document is written there too and then copied beside the output as a ReplacementFile, so
/// nothing of LibreOffice's is ever made beside the user's files. A stop of the program
/// (StopRequest) abandons a conversion under way with WordInterrupted.
/// The process dies with the thread that started it (PR_SET_PDEATHSIG) and runs in a process
/// group of its own, which the bridge kills when it stops it. A conversion that crashes the
/// process or takes longer than its bound fails that one file with a clear sentence; the next
/// conversion starts a fresh process. A crash in a process that had converted before gets the
/// file one more try in a fresh process first. Profile folders left by a Paperloom that was killed
/// outright are removed at the next start. Every failure throws WordError. Not thread-safe.
class OfficeBridge : public DocumentConverter {
public:
    OfficeBridge();
    explicit OfficeBridge(OfficeBridgeOptions options);
    /// Stops the converter process, waits for it and removes its profile.
    ~OfficeBridge() override;
    OfficeBridge(const OfficeBridge&) = delete;
    OfficeBridge& operator=(const OfficeBridge&) = delete;

    void toWordPackage(const std::string& inputPath, const std::string& packagePath) override;
    /// Refuses an output that is not a regular file before LibreOffice starts on it.
    void fromWordPackage(const std::string& packagePath, const std::string& outputPath) override;
    [[nodiscard]] bool convertsOutput(const std::string& outputPath) const override;

    /// Stops the converter process (if running) and removes its profile; the next conversion
    /// starts it again.
    void stop();

    /// The converter process id, or 0 when none runs.
    [[nodiscard]] pid_t processId() const { return m_pid; }
    /// How many times the converter process was started.
    [[nodiscard]] int startCount() const { return m_starts; }
    /// Seconds the most recent start took, until LibreOffice answered that it was ready.
    [[nodiscard]] double lastStartSeconds() const { return m_lastStartSeconds; }
    /// The converter process's peak resident memory in KiB so far (0 when none runs).
    [[nodiscard]] long processPeakKiB() const;

private:
    enum class Direction { Import, Export };
    /// Converts input into output, or with no output given into a file of the profile folder;
    /// returns the file written.
    std::string convert(const std::string& input, const std::string& output,
                        const std::string& format, Direction direction,
                        const std::string& userFile);
    void start(const std::string& userFile, Direction direction);
    [[nodiscard]] std::string officeFolder() const;
    /// Where the profile folders are made.
    [[nodiscard]] std::string tempFolder() const;
    [[nodiscard]] std::string converterProgram() const;
    void killProcess();
    void removeProfile();

    OfficeBridgeOptions m_options;
    pid_t m_pid = 0;
    int m_socket = -1;
    std::string m_received;
    std::string m_profileRoot;
    int m_starts = 0;
    int m_conversions = 0; // asked of the running process
    double m_lastStartSeconds = 0;
};

/// The output format LibreOffice writes for a name ("doc", "rtf", "odt", "pdf"), judged by its
/// extension without regard to case; empty when the name stays WordprocessingML.
[[nodiscard]] std::string officeFormatFor(const std::string& outputPath);

} // namespace paperloom::engine::office
