// The office bridge: other document formats converted by a LibreOffice we run ourselves.
#pragma once

#include "engine/automation/DocumentConverter.h"
#include "office/CoreLoad.h"

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
    /// How long one conversion may take: the base plus so much per MiB of its input; one that
    /// keeps LibreOffice working gets more, up to eight times that.
    std::chrono::milliseconds convertTimeout{30'000};
    std::chrono::milliseconds convertTimeoutPerMiB{10'000};
    /// How many converter processes may run at once; 0 means two where this program may run on
    /// two cores or more, the second only while the cores leave about one idle beside others'
    /// work and our converter processes (CoreLoad). A further
    /// process costs a LibreOffice start, about as much as twenty small conversions: it pays
    /// only where it converts beside the first on a core of its own.
    int processes = 0;
};

/// Converts legacy Word, RTF, ODF and PDF through a headless LibreOffice hosted by our own
/// converter program (paperloom-convert, built on LibreOfficeKit), which runs in a process of
/// its own. Documents LibreOfficeKit cannot open (those with comments, in the no-GUI build) it
/// hands to a second, UNO-driven LibreOffice of its own (paperloom-convert-uno), which starts
/// beside the first so that such a document never waits for a start.
///
/// Thread-safe: conversions asked from several threads at once run side by side, each in a
/// converter process of its own, up to parallelConversions() of them. Each process belongs to a
/// lane, a thread of the bridge that starts it (so the process dies with the lane, through
/// PR_SET_PDEATHSIG, never with a caller's thread) and feeds it the waiting conversions in the
/// order they were asked. The first process starts on the first conversion (or when prepare asks
/// for it) and stays warm until the bridge is destroyed; a further one starts only while
/// conversions wait for a busy one or prepare expects them, and memory allows, and ends after a
/// minute without work. A further process that cannot start is
/// not tried again. Only the first process runs a UNO-driven LibreOffice: a further one hands a
/// document that needs it back, and the first converts it next, so that no join waits for a
/// second such LibreOffice to start.
///
/// Each process gets a private, temporary LibreOffice profile in a folder named
/// "paperloom-office-profile-<our pid>-*", given on its command line as soffice takes it,
/// so a LibreOffice of the user's own is never disturbed, and it is removed with the process.
/// LibreOffice keeps its own temporary files in that folder, writes everything there for the
/// user alone, loads nothing a document links to and runs no macros (OfficeProfile). A saved
/// document is written there too and then copied beside the output as a ReplacementFile, so
/// nothing of LibreOffice's is ever made beside the user's files. A stop of the program
/// (StopRequest) abandons the conversions under way with WordInterrupted.
/// The processes run in process groups of their own, which the bridge kills when it stops them.
/// A conversion that crashes its process or takes longer than its bound fails that one file
/// with a clear sentence; the next conversion starts a fresh process. A crash in a process that
/// had converted before gets the file one more try in a fresh process first. Profile folders
/// left by a Paperloom that was killed outright are removed at the next start. Every failure
/// throws WordError.
class OfficeBridge : public DocumentConverter {
public:
    OfficeBridge();
    explicit OfficeBridge(OfficeBridgeOptions options);
    /// Stops the converter processes, waits for them and removes their profiles.
    ~OfficeBridge() override;
    OfficeBridge(const OfficeBridge&) = delete;
    OfficeBridge& operator=(const OfficeBridge&) = delete;

    void toWordPackage(const std::string& inputPath, const std::string& packagePath) override;
    /// Refuses an output that is not a regular file before LibreOffice starts on it.
    void fromWordPackage(const std::string& packagePath, const std::string& outputPath) override;
    [[nodiscard]] bool convertsOutput(const std::string& outputPath) const override;
    /// OfficeBridgeOptions::processes.
    [[nodiscard]] int parallelConversions() const override { return m_maxLanes; }
    /// Starts as many converter processes as that many conversions would use (the first one
    /// always, further ones as for waiting conversions), each in its lane, and returns at once;
    /// a further one that gets no work ends after a minute, as after any conversion.
    void prepare(std::size_t conversions) override;

    /// Stops the converter processes (if running) and removes their profiles; the next
    /// conversion starts one again. Call it while no conversion is under way.
    void stop();

    /// The first converter process's id, or 0 when it does not run.
    [[nodiscard]] pid_t processId() const;
    /// How many converter processes run and are ready for a conversion now.
    [[nodiscard]] int readyProcesses() const;
    /// How many times a converter process was started.
    [[nodiscard]] int startCount() const { return m_starts.load(); }
    /// Seconds the most recent start took, until LibreOffice answered that it was ready.
    [[nodiscard]] double lastStartSeconds() const { return m_lastStartSeconds.load(); }
    /// The largest peak resident memory in KiB of the converter processes running now (0 when
    /// none runs).
    [[nodiscard]] long processPeakKiB() const;

private:
    struct Lane;
    struct Request;
    /// Hands request to the lanes and waits until one has converted it; returns the file written.
    std::string run(Request& request);
    /// Joins the lanes that ended for want of work. Called with the mutex held.
    void joinRetiredLanes();
    /// Adds a lane and starts its thread. Called with the mutex held.
    Lane& addLane();
    void serve(Lane& lane);
    /// Whether fewer lanes are free than conversions wait. Called with the mutex held.
    [[nodiscard]] bool lanesShort() const;
    /// Whether another lane may start now: fewer than the most, none failed to start, memory, a
    /// core to spare. Called with lock held, which it releases while it samples the cores.
    [[nodiscard]] bool mayAddLane(std::unique_lock<std::mutex>& lock);
    void shutDown();

    OfficeBridgeOptions m_options;
    int m_maxLanes = 1;
    int m_interrupt[2] = {-1, -1}; // written to when the lanes must end
    mutable std::mutex m_mutex;
    std::condition_variable m_work; // lanes wait for requests
    std::condition_variable m_done; // callers wait for their request
    std::deque<Request*> m_queue;
    std::vector<std::unique_ptr<Lane>> m_lanes; // the first is the warm one that stays
    bool m_shuttingDown = false;
    bool m_furtherLaneFailed = false;
    std::atomic<int> m_starts{0};
    std::atomic<double> m_lastStartSeconds{0};
    CoreLoad m_coreLoad;
};

/// The output format LibreOffice writes for a name ("doc", "rtf", "odt", "pdf"), judged by its
/// extension without regard to case; empty when the name stays WordprocessingML.
[[nodiscard]] std::string officeFormatFor(const std::string& outputPath);

} // namespace paperloom::engine::office
