// Finding a word processor of the user's own among the running processes, through /proc.
//
// Before a join the user is warned when a word processor of theirs is open: LibreOffice,
// AbiWord, Calligra Words, ONLYOFFICE, WPS Writer, or Word under Wine. Processes are recognised
// by their command name, the program they run and their first argument, and only those of the
// user's own real uid count. The office processes Paperloom runs for itself never count: they
// are our descendants, or (should one outlive us) they run with a private user profile whose
// folder name starts with the prefix the scan is given. Processes come and go while the scan reads
// them; one that vanishes midway is simply not counted.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "word/WordAutomation.h"

namespace paperloom::engine {

/// Where to look and whose processes count.
struct ProcessScan {
    /// The process file system: "/proc", or a prepared tree in tests.
    std::string procRoot = "/proc";
    /// The real uid whose processes count.
    unsigned uid = 0;
    /// Our own process: it and everything it started are never counted.
    int selfPid = 0;
    /// The start of the folder name of the private profile of every office process we run;
    /// a process with "-env:UserInstallation=file:///.../<prefix>..." is ours.
    std::string ownProfilePrefix;
};

/// The scan for this process: /proc, our real uid, our pid, and the office processes we run
/// known by ownProfilePrefix.
[[nodiscard]] ProcessScan currentProcessScan(const std::string& ownProfilePrefix);

/// A word processor found running.
struct FoundWordProcessor {
    int pid = 0;
    /// The product, e.g. "LibreOffice" or "Word under Wine".
    std::string product;
};

/// The first word processor of the scan's user that is not ours, or nothing. Never throws:
/// anything unreadable counts as not there.
[[nodiscard]] std::optional<FoundWordProcessor> findRunningWordProcessor(const ProcessScan& scan);

/// Every word processor of the scan's user that is not ours, in /proc order. Never throws.
[[nodiscard]] std::vector<FoundWordProcessor> findRunningWordProcessors(const ProcessScan& scan);

/// The application object for a word processor of the user's own, or nullptr when none runs.
/// It answers to kWordApplicationName and refuses every other operation with a WordError.
/// Never throws. This is the running-instance finder the programs give the DocumentEngine.
[[nodiscard]] std::unique_ptr<WordApplication>
findRunningWordProcessorInstance(const ProcessScan& scan);

} // namespace paperloom::engine
