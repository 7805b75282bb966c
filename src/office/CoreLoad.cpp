// How busy the machine's cores are with work other than our converter processes, from /proc.
#include "office/CoreLoad.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace paperloom::engine::office {
namespace {

using Clock = std::chrono::steady_clock;

// A shorter interval is mostly rounding (the kernel counts time in ticks of 10 ms): a decision
// this soon after another takes the other's interval again.
constexpr auto kShortestInterval = std::chrono::milliseconds(100);
constexpr auto kFreshInterval = std::chrono::milliseconds(150);
// What the cores did longer ago than this says little about what they do now.
constexpr auto kLongestInterval = std::chrono::seconds(2);
// Idle cores needed beside others' work and our lanes: about one, as ticks round.
constexpr double kIdleNeeded = 0.5;

/// What a process's stat line tells of it here.
struct ProcessTimes {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
    long long ticks = 0; // its own and its reaped children's
};

/// The process of a stat line, or nothing when it does not read as one.
std::optional<ProcessTimes> processTimes(pid_t pid, const std::string& line) {
    // The command name may hold spaces and parentheses; the fields follow the last ')'.
    const auto close = line.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(line.substr(close + 1));
    std::string state;
    fields >> state;
    ProcessTimes times{pid};
    long long value = 0;
    // After the state: ppid pgrp session tty_nr tpgid flags minflt cminflt majflt cmajflt,
    // then utime stime cutime cstime.
    for (int field = 4; field <= 17 && fields >> value; ++field) {
        if (field == 4) {
            times.parent = static_cast<pid_t>(value);
        } else if (field == 5) {
            times.group = static_cast<pid_t>(value);
        } else if (field >= 14) {
            times.ticks += value;
        }
    }
    if (!fields) {
        return std::nullopt;
    }
    return times;
}

bool readCores(const std::string& path, CoreSample& sample) {
    std::ifstream stat(path);
    std::string line;
    bool read = false;
    while (std::getline(stat, line) && line.rfind("cpu", 0) == 0) {
        if (line.size() > 3 && std::isdigit(static_cast<unsigned char>(line[3]))) {
            ++sample.cores;
            continue;
        }
        // user nice system idle iowait irq softirq steal; guest time is inside user and nice.
        std::istringstream fields(line.substr(3));
        long long times[8] = {};
        for (long long& time : times) {
            fields >> time;
        }
        if (!fields) {
            return false;
        }
        sample.total = 0;
        for (const long long time : times) {
            sample.total += time;
        }
        sample.busy = sample.total - times[3] - times[4];
        read = true;
    }
    return read && sample.cores > 0;
}

/// Every process of procRoot that reads as one.
std::vector<ProcessTimes> readProcesses(const std::string& procRoot) {
    std::vector<ProcessTimes> processes;
    std::error_code error;
    for (std::filesystem::directory_iterator it(procRoot, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(),
                                         [](unsigned char c) { return std::isdigit(c) != 0; })) {
            continue;
        }
        std::ifstream stat(it->path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue; // ended meanwhile
        }
        if (auto times = processTimes(static_cast<pid_t>(std::stol(name)), line)) {
            processes.push_back(*times);
        }
    }
    return processes;
}

} // namespace

long long groupTicks(pid_t group, const std::string& procRoot) {
    long long ticks = 0;
    for (const ProcessTimes& process : readProcesses(procRoot)) {
        ticks += process.group == group ? process.ticks : 0;
    }
    return ticks;
}

std::optional<CoreSample> sampleCores(pid_t parent, const std::string& procRoot) {
    CoreSample sample;
    sample.taken = Clock::now();
    if (!readCores(procRoot + "/stat", sample)) {
        return std::nullopt;
    }
    const std::vector<ProcessTimes> processes = readProcesses(procRoot);
    std::vector<pid_t> groups;
    for (const ProcessTimes& process : processes) {
        if (process.parent == parent && process.group == process.pid) {
            groups.push_back(process.pid);
        }
    }
    for (const ProcessTimes& process : processes) {
        if (std::find(groups.begin(), groups.end(), process.group) != groups.end()) {
            sample.ours[process.pid] = process.ticks;
        }
    }
    return sample;
}

bool coreToSpare(const CoreSample& earlier, const CoreSample& later, int usableCores,
                 int ourLanes) {
    const long long total = later.total - earlier.total;
    if (total <= 0 || later.cores <= 0) {
        return false;
    }
    // A process not in the earlier sample started since: all its time is in the interval. One
    // that ended is missing from the later one, and its time counts as others' (which errs
    // towards no further process).
    long long ours = 0;
    for (const auto& [pid, ticks] : later.ours) {
        const auto before = earlier.ours.find(pid);
        ours += std::max(0LL, ticks - (before == earlier.ours.end() ? 0 : before->second));
    }
    const double ticksPerCore = static_cast<double>(total) / later.cores;
    const double othersBusy =
        std::max(0.0, static_cast<double>(later.busy - earlier.busy - ours) / ticksPerCore);
    const double cores = std::min(usableCores, later.cores);
    return cores - othersBusy - ourLanes >= kIdleNeeded;
}

std::optional<std::pair<CoreSample, CoreSample>> CoreLoad::interval() {
    std::lock_guard lock(m_mutex);
    const auto since = Clock::now() - (m_latest ? m_latest->second.taken : Clock::time_point{});
    if (m_latest && since < kShortestInterval) {
        return m_latest; // decided a moment ago: the same again, without waiting
    }
    const pid_t self = ::getpid();
    std::optional<CoreSample> earlier;
    if (m_latest && since <= kLongestInterval) {
        earlier = m_latest->second;
    } else {
        earlier = sampleCores(self);
        std::this_thread::sleep_for(kFreshInterval);
    }
    auto now = sampleCores(self);
    if (!earlier || !now) {
        return std::nullopt;
    }
    m_latest.emplace(std::move(*earlier), std::move(*now));
    return m_latest;
}

} // namespace paperloom::engine::office
