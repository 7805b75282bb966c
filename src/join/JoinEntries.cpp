// The join loop over the entries and the sentence of a join that stopped.
#include "join/JoinEntries.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace paperloom {
namespace {

// The sentence shown for a failure that is not the engine's own, e.g. memory running out.
constexpr const char* kUnexpectedFailure = "The documents could not be joined because of an "
                                           "unexpected error.";

// Says which document the join stopped at and what the output file holds now, so the user
// knows what is on disk: every step saves the output whole, so it holds exactly the entries
// before the one that failed, once the saves still being written are done. When one of those
// could not be written, the output holds fewer of them, if any. A first save that fails is no
// fault of the first document.
std::string whereItStopped(int entry, int count, const std::string& entryPath,
                           const std::string& outputPath, bool outputFailed, bool incomplete) {
    const std::string named = entryPath.empty() ? std::string() : ", \"" + entryPath + "\"";
    if (entry > count) {
        return "All " + std::to_string(count) + " documents were joined, but \"" + outputPath +
               "\" does not hold all of them.";
    }
    if (entry <= 1 && outputFailed) {
        return "Nothing was joined; no output document was written.";
    }
    if (entry <= 1) {
        return "The join stopped at the first document" + named +
               "; no output document was written.";
    }
    return "The join stopped at document " + std::to_string(entry) + " of " +
           std::to_string(count) + named + "; \"" + outputPath + "\" holds " +
           (incomplete ? "only some of the documents before it, if any."
                       : "the documents before it.");
}

// The sentence for the user of a failure the join caught, or the one for an unexpected one.
std::string reasonOf(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const WordError& error) {
        if (!error.userMessage().empty()) {
            return error.userMessage();
        }
    } catch (...) {
    }
    return kUnexpectedFailure;
}

bool isStop(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const WordInterrupted&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Waits for the saves still being written; their failure, if any.
std::exception_ptr finishSaves(WordAutomation& automation) noexcept {
    try {
        automation.waitForSaves();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

// Tells the automation which documents come, so it can prepare them; only a hint.
void announceEntries(WordAutomation& automation, const JoinWindow& window, int count) noexcept {
    try {
        std::vector<std::string> paths;
        for (int i = 1; i <= count; ++i) {
            paths.push_back(window.entryPath(i));
        }
        automation.expectDocuments(paths);
    } catch (...) {
    }
}

} // namespace

void JoinWindow::setBusyPointer() {
    setMousePointer(MousePointerValue::Busy);
}

std::optional<JoinFailure> joinEntries(WordAutomation& automation, JoinWindow& window,
                                       const std::string& outputPath) {
    const int count = window.entryCount();
    announceEntries(automation, window, count);
    int stoppedAt = count + 1;
    std::string entry;
    std::exception_ptr failure;
    bool outputFailed = false;
    for (int i = 1; i <= count; ++i) {
        entry.clear();
        try {
            window.setProgress(static_cast<float>(i / double(window.entryCount()) * 100));
            window.setBusyPointer();
            entry = window.entryPath(i);
            window.setBusyPointer();
            CopyDocumentToClipboard(automation, window, entry);
            window.setBusyPointer();
            if (i == 1) {
                StartJoinedDocument(automation, window, outputPath);
            } else if (i == window.entryCount()) {
                AppendLastDocument(automation, window, outputPath);
            } else {
                AppendDocument(automation, window, outputPath);
            }
            window.setBusyPointer();
        } catch (const OutputError&) {
            failure = std::current_exception();
            outputFailed = true;
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            stoppedAt = i;
            break;
        }
    }
    // The output is complete, or holds the documents before the failing one, only once the
    // saves still being written in the background are done.
    const std::exception_ptr unsaved = finishSaves(automation);
    if (!failure && !unsaved) {
        return std::nullopt;
    }
    std::string reason = reasonOf(failure ? failure : unsaved);
    if (failure && unsaved && reasonOf(unsaved) != reason && !isStop(failure)) {
        reason += "\r\r" + reasonOf(unsaved);
    }
    JoinFailure result;
    result.message = reason + "\r\r" +
                     whereItStopped(stoppedAt, count, stoppedAt > count ? std::string() : entry,
                                    outputPath, outputFailed, unsaved != nullptr);
    result.entry = std::min(stoppedAt, count);
    result.count = count;
    result.stopped = (failure && isStop(failure)) || (unsaved && isStop(unsaved));
    result.cause = failure ? failure : unsaved;
    return result;
}

} // namespace paperloom
