// How busy the machine's cores are with work other than our converter processes.
//
// A further converter process pays only where it gets a core of its own. The load average
// cannot tell that: it counts our own converters, so a join that follows another (or the start
// of the first process) within a minute or so would always look like a busy machine. Instead
// the cores' busy and idle time in /proc/stat is sampled over a short interval, and the CPU time
// of our converter processes (their process groups, so LibreOffice's children count too) over
// the same interval is taken off it. Our converter processes are known without asking the
// bridge: the children of our process that lead a process group of their own, as each one the
// bridge starts does, with everything in those groups.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace paperloom::engine::office {

/// The machine's core time and our converter processes' CPU time at one moment, in clock ticks
/// since boot.
struct CoreSample {
    long long busy = 0;              // all cores together, working (stolen time counts as working)
    long long total = 0;             // all cores together, working or idle
    int cores = 0;                   // cores online
    std::map<pid_t, long long> ours; // each of our processes: its own and its reaped children's
    std::chrono::steady_clock::time_point taken;
};

/// Reads procRoot/stat, and the processes of procRoot in the process groups led by children of
/// parent; nothing when the cores' times cannot be read. A process that ends midway is not
/// counted.
[[nodiscard]] std::optional<CoreSample> sampleCores(pid_t parent,
                                                    const std::string& procRoot = "/proc");

/// The CPU time, in clock ticks since it started, of the processes of procRoot in a process
/// group (each one's own and its reaped children's): how hard a converter process works.
[[nodiscard]] long long groupTicks(pid_t group, const std::string& procRoot = "/proc");

/// Whether a further converter process would find a core of its own, judged by what the cores
/// did between earlier and later: of the usable cores (no more than the machine has), those
/// busy with others' work (all busy time less ours) and one for each of ourLanes, our processes
/// that will convert beside it, leave about one idle. An empty interval tells nothing: no.
[[nodiscard]] bool coreToSpare(const CoreSample& earlier, const CoreSample& later, int usableCores,
                               int ourLanes);

/// Keeps the latest interval, so that a decision soon after another reuses the time between them
/// instead of waiting for a fresh interval. Thread-safe.
class CoreLoad {
public:
    /// An interval to judge the cores by, ending about now: the previous one again when it ended
    /// a moment ago, since its end when that is recent, otherwise a fresh one of at most a fifth
    /// of a second, waited for on the caller's thread. Ours are the converter processes of this
    /// process. Nothing when /proc cannot be read.
    [[nodiscard]] std::optional<std::pair<CoreSample, CoreSample>> interval();

private:
    std::mutex m_mutex;
    std::optional<std::pair<CoreSample, CoreSample>> m_latest;
};

} // namespace paperloom::engine::office
