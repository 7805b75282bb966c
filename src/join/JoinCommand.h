// The join command: from the save dialog to the success message, over the document list.
//
// The command sees the main window only through JoinWindow, so it depends on neither the list
// control nor the progress bar widget; the window hands in an adapter over its own controls and
// the command-line tool one over its arguments. The loop itself (joinEntries) is shared by both.
#pragma once

#include <optional>
#include <string>

#include "join/Word1.h"
#include "platform/MousePointerValue.h"

namespace paperloom {

class Prompts;

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

/// Settings of the save dialog that asks for the output document.
inline constexpr int kSaveDialogFlags = 2621953;

/// Why a join stopped: the sentence for the user, and where in the list it stopped. stopped is
/// set when the program was asked to end, which needs no message box.
struct JoinFailure {
    std::string message;
    int entry = 0;
    int count = 0;
    bool stopped = false;
};

/// Joins entries 1 to entryCount() into outputPath, one copy step and one append step per
/// entry, with the progress for entry i shown before entry i. Returns the failure of the first
/// step that failed (nothing is worked on after it), or nothing when the output is complete.
/// Never throws a step's error.
[[nodiscard]] std::optional<JoinFailure> joinEntries(WordAutomation& automation, JoinWindow& window,
                                                     const std::string& outputPath);

/// True when the two names lead to the same existing file (also through links).
[[nodiscard]] bool isSameFile(const std::string& first, const std::string& second);

/// "a named pipe", "a device" or "a socket" when path leads to such a thing, which the join must
/// neither write nor delete as its output; empty for a file, a folder or nothing at all.
[[nodiscard]] std::string specialFileKind(const std::string& path);

/// The whole command behind "Join To One Doc", after the press cycle: asks for the output name,
/// protects an existing file, runs the guard and the join, and reports the outcome in a message
/// box. A failing deletion or step is reported there too; it never ends the program. An output
/// name that is a symbolic link keeps the link: the file it leads to is what is replaced.
void runJoinCommand(Prompts& prompts, WordAutomation& automation, JoinWindow& window);

} // namespace paperloom
