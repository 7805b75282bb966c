// paperloom-join: the join of the window program, run from a command line without a window.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "word/WordAutomation.h"

namespace paperloom::cli {

/// The line that says how to call the tool.
inline constexpr const char* kUsage =
    "usage: paperloom-join [--landscape] [--page-breaks] OUTPUT INPUT...";

/// Exit statuses of the tool.
enum ExitStatus : int { kJoined = 0, kJoinFailed = 1, kUsageError = 2 };

/// Joins the INPUT documents into OUTPUT with the same steps as the window program, replacing
/// OUTPUT when it exists. arguments are those after the program name. Progress goes to err as
/// a bar redrawn in place when showProgress is set. Returns kJoined; kJoinFailed with the
/// failure sentence on err; or kUsageError with the usage line on err. --help and --version
/// print the help or the version on out and return kJoined without joining. Never throws a
/// failure of the join.
[[nodiscard]] int runJoinTool(const std::vector<std::string>& arguments, WordAutomation& automation,
                              std::ostream& out, std::ostream& err, bool showProgress);

} // namespace paperloom::cli
