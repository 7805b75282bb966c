// The join loop: every entry of the list through the join steps, and what to tell the user when
// one of them fails.
//
// The loop sees whoever runs it only through JoinWindow: the main window hands in an adapter
// over its own controls, the command-line tool and the tests a FixedJoinWindow over their list.
// It has no Qt in it, so that the tests of the engine drive the real steps.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "join/MousePointerValue.h"
#include "join/Word1.h"

namespace paperloom {

/// What the join reads and drives beyond the two choices: the entries, the progress bar and the
/// window's pointer.
class JoinWindow : public JoinContext {
public:
    /// The number of entries in the document list, read at the moment it is asked.
    [[nodiscard]] virtual int entryCount() const = 0;
    /// The file name of entry index (1 to entryCount()), as the file system spells it.
    [[nodiscard]] virtual std::string entryPath(int index) const = 0;
    /// Shows progress from 0 to 100 at once, also while the join holds the event loop.
    virtual void setProgress(float value) = 0;
    /// Sets the window's pointer: the default or the busy one.
    virtual void setMousePointer(MousePointerValue value) = 0;

    void setBusyPointer() override;
};

/// A JoinWindow over a list and choices fixed when it is made, which shows progress and
/// pointer nowhere: the join without a window.
class FixedJoinWindow : public JoinWindow {
public:
    FixedJoinWindow(std::vector<std::string> entries, bool pageBreaks, bool landscape)
        : m_entries(std::move(entries)), m_pageBreaks(pageBreaks), m_landscape(landscape) {}

    [[nodiscard]] bool pageBreaks() const override { return m_pageBreaks; }
    [[nodiscard]] bool portrait() const override { return !m_landscape; }
    [[nodiscard]] int entryCount() const override { return static_cast<int>(m_entries.size()); }
    [[nodiscard]] std::string entryPath(int index) const override {
        return m_entries.at(static_cast<std::size_t>(index - 1));
    }
    void setProgress(float) override {}
    void setMousePointer(MousePointerValue) override {}

private:
    std::vector<std::string> m_entries;
    bool m_pageBreaks;
    bool m_landscape;
};

/// Why a join stopped: the sentence for the user, and where in the list it stopped. stopped is
/// set when the program was asked to end, which needs no message box.
struct JoinFailure {
    std::string message;
    int entry = 0;
    int count = 0;
    bool stopped = false;
    /// The failure as it was thrown: the step's, or that of a save when no step failed.
    std::exception_ptr cause;
};

/// Joins entries 1 to entryCount() into outputPath, one copy step and one append step per
/// entry, with the progress for entry i shown before entry i. Returns the failure of the first
/// step that failed (nothing is worked on after it), or nothing when the output is complete.
/// Never throws a step's error.
[[nodiscard]] std::optional<JoinFailure> joinEntries(WordAutomation& automation, JoinWindow& window,
                                                     const std::string& outputPath);

} // namespace paperloom
