// The office bridge: formats by name, and the lanes that feed conversions to converter processes.
#include "office/OfficeBridge.h"

#include "engine/files/ReplacementFile.h"
#include "engine/files/StopRequest.h"
#include "engine/package/AsciiText.h"
#include "office/LegacyWord.h"
#include "office/OfficeProcess.h"

#include "word/WordAutomation.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

namespace paperloom::engine::office {
namespace {

namespace fs = std::filesystem;

// A further process that has had nothing to do for this long ends, so that between joins only
// the first one keeps its memory.
constexpr auto kFurtherLaneIdle = std::chrono::seconds(60);
// A further process (LibreOffice with its documents) is started only while this much memory is
// available.
constexpr long long kFurtherLaneMemory = 1LL << 30;

std::string fileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const auto absolute = fs::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

WordError failure(bool opening, const std::string& userFile, const std::string& reason,
                  const std::string& detail) {
    return WordError(FailureKind::Conversion, reason, FailureContext{{}, {}, std::nullopt, detail})
        .during(opening ? FailedAction::Open : FailedAction::Save, userFile);
}

/// How many cores this program may run on.
int ourCores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    return ::sched_getaffinity(0, sizeof cores, &cores) == 0
               ? CPU_COUNT(&cores)
               : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

/// Whether a further converter process would find a core of its own where /proc cannot tell:
/// the load of the last minute, which counts our busy one too, leaves about one idle.
bool loadLeavesCore() {
    double load = 0;
    return ::getloadavg(&load, 1) == 1 && load <= ourCores() - 0.5;
}

/// MemAvailable of /proc/meminfo in bytes, or a large number when it cannot be read.
long long availableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    std::string line;
    while (std::getline(meminfo, line)) {
        if (line.rfind("MemAvailable:", 0) == 0) {
            return std::stoll(line.substr(13)) * 1024;
        }
    }
    return kFurtherLaneMemory * 4;
}

} // namespace

/// A thread of the bridge with the converter process it started and feeds.
struct OfficeBridge::Lane {
    Lane(const OfficeBridgeOptions& options, int interruptFd, bool isFirst)
        : process(options, interruptFd), first(isFirst) {}
    OfficeProcess process;
    std::thread thread;
    bool first;
    bool busy = false;     // starting its process or converting
    bool retired = false;  // its thread has ended or is about to
    bool startNow = false; // prepared: starts its process before a conversion waits for it
    bool ready = false;    // its process has started
    int startsSeen = 0;
};

/// A conversion waiting for a lane, and what became of it. deliver, when set, takes the written
/// file in the lane, before a later conversion of the same process can replace it.
struct OfficeBridge::Request {
    ConversionRequest conversion;
    std::function<void(const std::string&)> deliver;
    bool done = false;
    bool firstLaneOnly = false; // a further lane's process left it to the first one's
    std::string written;
    std::exception_ptr error;
};

std::string officeFormatFor(const std::string& outputPath) {
    const std::string name = fileNameOf(outputPath);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return {};
    }
    const std::string extension = asciiLower(name.substr(dot + 1));
    if (extension == "doc" || extension == "dot") {
        return "doc";
    }
    if (extension == "rtf" || extension == "odt" || extension == "pdf") {
        return extension;
    }
    return {};
}

OfficeBridge::OfficeBridge() : OfficeBridge(OfficeBridgeOptions{}) {}

OfficeBridge::OfficeBridge(OfficeBridgeOptions options)
    : m_options(std::move(options)),
      m_maxLanes(m_options.processes > 0 ? m_options.processes : std::min(ourCores(), 2)) {
    if (::pipe2(m_interrupt, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_interrupt[0] = m_interrupt[1] = -1;
    }
}

OfficeBridge::~OfficeBridge() {
    shutDown();
    for (const int fd : m_interrupt) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool OfficeBridge::convertsOutput(const std::string& outputPath) const {
    return !officeFormatFor(outputPath).empty();
}

void OfficeBridge::toWordPackage(const std::string& inputPath, const std::string& packagePath) {
    const std::string package = absolutePath(packagePath);
    // LibreOffice would only say it cannot load such a file; the file itself says why.
    if (isPasswordProtectedWordBinary(inputPath)) {
        throw failure(true, inputPath, "the document is protected by a password", inputPath);
    }
    Request request;
    request.conversion = {absolutePath(inputPath), package, "docx", Direction::Import, inputPath};
    // Only the first process converts a document with comments (LeftToFirstProcess): handed to
    // it at once, it costs no further process a load that fails.
    request.firstLaneOnly = isWordBinaryWithComments(inputPath);
    run(request);
    if (!fs::exists(package)) {
        throw failure(true, inputPath, "LibreOffice did not write the converted document", package);
    }
}

void OfficeBridge::fromWordPackage(const std::string& packagePath, const std::string& outputPath) {
    const std::string format = officeFormatFor(outputPath);
    if (format.empty()) {
        throw failure(false, outputPath,
                      "this name does not ask for a format that LibreOffice writes", outputPath);
    }
    // LibreOffice writes into its profile, never beside the output: a kill then leaves none of
    // its lock or temporary files there. The result is copied beside the output and renamed
    // over it, so the output is replaced whole or not at all. The output is checked before
    // LibreOffice spends time on it.
    std::optional<ReplacementFile> replacement;
    try {
        replacement.emplace(outputPath);
    } catch (const WriteError& error) {
        throw error.during(FailedAction::Save, outputPath);
    }
    Request request;
    request.conversion = {absolutePath(packagePath), {}, format, Direction::Export, outputPath};
    request.deliver = [&](const std::string& converted) {
        try {
            if (!fs::exists(converted)) {
                throw failure(false, outputPath, "LibreOffice did not write the document",
                              converted);
            }
            replacement->copyFrom(converted);
            replacement->commit();
        } catch (const WriteError& error) {
            throw error.during(FailedAction::Save, outputPath);
        }
    };
    run(request);
}

std::string OfficeBridge::run(Request& request) {
    throwIfStopRequested();
    std::unique_lock lock(m_mutex);
    joinRetiredLanes();
    m_queue.push_back(&request);
    // The lanes may change while mayAddLane samples the cores: still short afterwards?
    if (m_lanes.empty() || (lanesShort() && mayAddLane(lock) && lanesShort())) {
        addLane();
    }
    m_work.notify_all();
    m_done.wait(lock, [&] { return request.done; });
    if (request.error) {
        std::rethrow_exception(request.error);
    }
    return request.written;
}

void OfficeBridge::prepare(std::size_t conversions) {
    std::unique_lock lock(m_mutex);
    if (m_shuttingDown) {
        return;
    }
    joinRetiredLanes();
    const std::size_t wanted = std::min(conversions, static_cast<std::size_t>(m_maxLanes));
    // mayAddLane lets go of the lock while it samples the cores: still wanted afterwards?
    while (m_lanes.size() < wanted &&
           (m_lanes.empty() || (mayAddLane(lock) && m_lanes.size() < wanted))) {
        addLane().startNow = true;
    }
    for (const auto& lane : m_lanes) {
        lane->startNow = !lane->retired;
    }
    m_work.notify_all();
}

int OfficeBridge::readyProcesses() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_lanes.begin(), m_lanes.end(), [](const auto& lane) {
        return lane->ready && !lane->retired;
    }));
}

void OfficeBridge::joinRetiredLanes() {
    // Lanes that ended for want of work are joined by whoever comes next.
    for (auto it = m_lanes.begin(); it != m_lanes.end();) {
        if ((*it)->retired) {
            (*it)->thread.join();
            it = m_lanes.erase(it);
        } else {
            ++it;
        }
    }
}

OfficeBridge::Lane& OfficeBridge::addLane() {
    m_lanes.push_back(std::make_unique<Lane>(m_options, m_interrupt[0], m_lanes.empty()));
    Lane& lane = *m_lanes.back();
    lane.thread = std::thread([this, &lane] { serve(lane); });
    return lane;
}

bool OfficeBridge::lanesShort() const {
    const auto free =
        std::count_if(m_lanes.begin(), m_lanes.end(), [](const auto& lane) { return !lane->busy; });
    return static_cast<std::size_t>(free) < m_queue.size();
}

bool OfficeBridge::mayAddLane(std::unique_lock<std::mutex>& lock) {
    const auto room = [&] {
        return static_cast<int>(m_lanes.size()) < m_maxLanes && !m_furtherLaneFailed &&
               !m_shuttingDown;
    };
    if (!room() || availableMemory() < kFurtherLaneMemory) {
        return false;
    }
    if (m_options.processes > 0) {
        return true;
    }
    // On a machine busy with other work a further process's start only takes time from the
    // conversions. The lanes there will all convert beside it: each counts as a busy core.
    lock.unlock();
    const auto interval = m_coreLoad.interval();
    lock.lock();
    if (!room()) {
        return false;
    }
    const int lanes = static_cast<int>(std::count_if(
        m_lanes.begin(), m_lanes.end(), [](const auto& lane) { return !lane->retired; }));
    return interval ? coreToSpare(interval->first, interval->second, ourCores(), lanes)
                    : loadLeavesCore();
}

void OfficeBridge::serve(Lane& lane) {
    std::unique_lock lock(m_mutex);
    const auto countStarts = [&] {
        const int starts = lane.process.startCount();
        m_starts += starts - lane.startsSeen;
        if (starts != lane.startsSeen) {
            m_lastStartSeconds = lane.process.lastStartSeconds();
        }
        lane.startsSeen = starts;
    };
    // The first waiting request this lane may take.
    const auto next = [&] {
        return std::find_if(m_queue.begin(), m_queue.end(), [&](const Request* request) {
            return lane.first || !request->firstLaneOnly;
        });
    };
    for (;;) {
        const auto ready = [&] {
            return m_shuttingDown || next() != m_queue.end() || (lane.startNow && !lane.ready);
        };
        if (lane.first) {
            m_work.wait(lock, ready);
        } else if (!m_work.wait_for(lock, kFurtherLaneIdle, ready)) {
            break;
        }
        if (m_shuttingDown) {
            break;
        }
        if (!lane.process.running()) {
            // Started without taking a request, so that a lane that is ready meanwhile serves
            // it. A failed start of the first lane fails the request it names, if that still
            // waits; a further lane that cannot start is not needed.
            const auto waiting = next();
            const Request* named = waiting != m_queue.end() ? *waiting : nullptr;
            const ConversionRequest conversion = named ? named->conversion : ConversionRequest{};
            lane.busy = true;
            lane.ready = false;
            lock.unlock();
            std::exception_ptr error;
            try {
                lane.process.start(conversion, lane.first);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            lane.busy = false;
            lane.startNow = false;
            lane.ready = !error;
            countStarts();
            if (error && !lane.first) {
                m_furtherLaneFailed = true;
                break;
            }
            const auto it = std::find(m_queue.begin(), m_queue.end(), named);
            if (error && it != m_queue.end()) {
                Request* request = *it;
                m_queue.erase(it);
                request->error = error;
                request->done = true;
                m_done.notify_all();
            }
            continue;
        }
        const auto taken = next();
        Request* request = *taken;
        m_queue.erase(taken);
        lane.busy = true;
        lock.unlock();
        bool leftToFirst = false;
        try {
            request->written = lane.process.convert(request->conversion);
            if (request->deliver) {
                try {
                    request->deliver(request->written);
                } catch (...) {
                    std::remove(request->written.c_str());
                    throw;
                }
                std::remove(request->written.c_str());
            }
        } catch (const LeftToFirstProcess&) {
            leftToFirst = true;
        } catch (...) {
            request->error = std::current_exception();
        }
        lock.lock();
        lane.busy = false;
        countStarts();
        if (leftToFirst) {
            // Next for the first lane: the join waits for it in order.
            request->firstLaneOnly = true;
            m_queue.push_front(request);
            m_work.notify_all();
            continue;
        }
        request->done = true;
        m_done.notify_all();
    }
    lane.busy = true;
    lane.retired = !m_shuttingDown;
    lock.unlock();
    lane.process.stop();
}

void OfficeBridge::shutDown() {
    std::vector<std::unique_ptr<Lane>> lanes;
    {
        std::lock_guard lock(m_mutex);
        m_shuttingDown = true;
        lanes.swap(m_lanes);
    }
    if (m_interrupt[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_interrupt[1], &byte, 1);
    }
    m_work.notify_all();
    for (auto& lane : lanes) {
        lane->thread.join();
    }
    lanes.clear();
    std::lock_guard lock(m_mutex);
    for (Request* request : m_queue) {
        request->error = std::make_exception_ptr(
            WordInterrupted("The conversion was abandoned because LibreOffice was stopped.",
                            request->conversion.userFile));
        request->done = true;
    }
    m_queue.clear();
    m_done.notify_all();
    char drained[16];
    while (m_interrupt[0] >= 0 && ::read(m_interrupt[0], drained, sizeof drained) > 0) {
    }
    m_shuttingDown = false;
}

void OfficeBridge::stop() {
    shutDown();
}

pid_t OfficeBridge::processId() const {
    std::lock_guard lock(m_mutex);
    for (const auto& lane : m_lanes) {
        if (lane->first) {
            return lane->process.processId();
        }
    }
    return 0;
}

long OfficeBridge::processPeakKiB() const {
    std::lock_guard lock(m_mutex);
    long peak = 0;
    for (const auto& lane : m_lanes) {
        peak = std::max(peak, lane->process.peakKiB());
    }
    return peak;
}

} // namespace paperloom::engine::office
