// Joins for the engine's tests and benchmarks, through the program's own join loop and steps.
#pragma once

#include "join/JoinEntries.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace paperloom::engine::testing {

/// The two choices of the window.
struct JoinChoices {
    bool pageBreaks = false;
    bool landscape = false;
};

/// What the join steps read when a test calls one of them alone.
inline FixedJoinWindow stepContext(const JoinChoices& choices = {}) {
    return FixedJoinWindow({}, choices.pageBreaks, choices.landscape);
}

/// Joins inputs into output as the program does: announced first, the saves waited for at the
/// end. Throws the failure that stopped the join, as its step threw it.
inline void joinDocuments(WordAutomation& automation, const std::vector<std::string>& inputs,
                          const std::string& output, const JoinChoices& choices) {
    FixedJoinWindow window(inputs, choices.pageBreaks, choices.landscape);
    if (const std::optional<JoinFailure> failure = joinEntries(automation, window, output)) {
        std::rethrow_exception(failure->cause);
    }
}

} // namespace paperloom::engine::testing
