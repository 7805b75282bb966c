// The join command: from the save dialog to the success message, over the document list.
//
// The command sees the main window only through JoinWindow, so it depends on neither the list
// control nor the progress bar widget; the window hands in an adapter over its own controls. The
// loop itself (joinEntries) is shared with the command-line tool.
#pragma once

#include <optional>
#include <string>

#include "join/JoinEntries.h"

namespace paperloom {

class Prompts;

/// Settings of the save dialog that asks for the output document.
inline constexpr int kSaveDialogFlags = 2621953;

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
