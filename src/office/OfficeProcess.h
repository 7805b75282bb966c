// One converter process of the office bridge: started, asked for one conversion at a time,
// bounded in time, stopped.
#pragma once

#include "office/OfficeBridge.h"

#include <sys/types.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace paperloom::engine::office {

/// Which way a conversion goes: into WordprocessingML for a document being opened, or out of it
/// for the output being saved. Failures begin "Cannot open FILE: " or "Cannot save FILE: ".
enum class Direction { Import, Export };

/// One conversion as the bridge asks it of a process.
struct ConversionRequest {
    std::string input;  // absolute
    std::string output; // absolute, or empty for a file in the process's profile folder
    std::string format; // "docx", "doc", "rtf", "odt", "pdf"
    Direction direction = Direction::Import;
    std::string userFile; // the user's file, named in failures
};

/// What convert throws when a process started without its UNO-driven LibreOffice meets a
/// document that needs one: the bridge's first process converts it instead.
class LeftToFirstProcess : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A paperloom-convert process with its private LibreOffice profile, as OfficeBridge describes
/// them. The thread that starts the process must outlive it (PR_SET_PDEATHSIG); the bridge gives
/// each process a lane of its own. Not thread-safe, except the figures read by the bridge.
class OfficeProcess {
public:
    /// interruptFd becomes readable when the bridge shuts down: a start or conversion under way
    /// then ends as on a stop signal.
    OfficeProcess(const OfficeBridgeOptions& options, int interruptFd);
    /// Stops the process and removes its profile.
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    /// Starts the process unless it runs; with withUno its second, UNO-driven LibreOffice starts
    /// at once too, otherwise never (see LeftToFirstProcess). Throws WordError naming request's
    /// file, WordInterrupted on a stop.
    void start(const ConversionRequest& request, bool withUno);
    /// True while the process runs; one that ended while idle is cleaned up and counts as not
    /// running.
    [[nodiscard]] bool running();
    /// Converts in the running process (one more try in a fresh one after a crash of a process
    /// that had converted before) and returns the file written. Throws WordError naming the
    /// request's file, WordInterrupted on a stop or when the bridge shuts down,
    /// LeftToFirstProcess when the document needs the UNO-driven LibreOffice it does not run.
    std::string convert(const ConversionRequest& request);
    /// Kills the process and its group, waits for it and removes its profile.
    void stop();

    /// The process id, or 0 when none runs.
    [[nodiscard]] pid_t processId() const { return m_pid.load(); }
    /// How many times this object started a process.
    [[nodiscard]] int startCount() const { return m_starts.load(); }
    /// Seconds the most recent start took, until LibreOffice answered that it was ready.
    [[nodiscard]] double lastStartSeconds() const { return m_lastStartSeconds.load(); }
    /// The process's peak resident memory in KiB (0 when none runs).
    [[nodiscard]] long peakKiB() const;

private:
    [[nodiscard]] std::string officeFolder() const;
    [[nodiscard]] std::string converterProgram() const;
    [[nodiscard]] std::string tempFolder() const;
    void killProcess();
    void removeProfile();

    const OfficeBridgeOptions& m_options;
    int m_interruptFd;
    bool m_withUno = true;
    std::atomic<pid_t> m_pid{0};
    int m_socket = -1;
    std::string m_received;
    std::string m_profileRoot;
    int m_conversions = 0; // asked of the running process
    std::atomic<int> m_starts{0};
    std::atomic<double> m_lastStartSeconds{0};
};

} // namespace paperloom::engine::office
