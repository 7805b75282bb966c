// Word1: the join steps that build the output document entry by entry, and the guard that warns
// about a word processor of the user's own before a join starts.
//
// Every step starts an instance of its own through the automation interface and quits it before
// it returns; only the output file and the clipboard carry over from one step to the next. The
// steps read the page-break and orientation choices and set the busy pointer through a
// JoinContext, so the window and the command-line tool run exactly the same calls.
#pragma once

#include <string>

#include "word/WordAutomation.h"

namespace paperloom {

class Prompts;

/// What the join steps read from, and show on, whoever runs them.
class JoinContext {
public:
    virtual ~JoinContext() = default;
    /// The page-break choice as it stands now: true only when the box is ticked.
    [[nodiscard]] virtual bool pageBreaks() const = 0;
    /// The orientation choice as it stands now: true for portrait, false for landscape.
    [[nodiscard]] virtual bool portrait() const = 0;
    /// Shows the busy pointer (again); never shows anything else.
    virtual void setBusyPointer() = 0;
};

/// A failure to write the output document, raised by the steps that save it. Its sentence is
/// that of the failed call, which names the output file; the join reports it as a failure of
/// the output rather than of the document being added.
class OutputError : public WordError {
public:
    explicit OutputError(const WordError& cause) : WordError(cause) {}
};

/// Opens sourcePath in a new instance and puts its whole content on the clipboard. Throws the
/// WordError of the first failing call; the instance is then told to quit.
void CopyDocumentToClipboard(WordAutomation& automation, JoinContext& context,
                             const std::string& sourcePath);

/// Creates the output document: a new document in the chosen orientation, the clipboard pasted
/// into it, a page break after it when chosen, saved under outputPath. Throws like the copy step;
/// a failing save as OutputError.
void StartJoinedDocument(WordAutomation& automation, JoinContext& context,
                         const std::string& outputPath);

/// Opens the output document, pastes the clipboard at its end, adds a page break when chosen and
/// saves it again under outputPath. Throws like the copy step.
void AppendDocument(WordAutomation& automation, JoinContext& context,
                    const std::string& outputPath);

/// As AppendDocument for the last entry, except that with page breaks on the break just added is
/// taken back again (end of the story, one backspace). Throws like the copy step.
void AppendLastDocument(WordAutomation& automation, JoinContext& context,
                        const std::string& outputPath);

/// Pastes the clipboard at the selection of word with the default paste, falling back to a
/// plain paste when that fails. Throws the WordError of the fallback paste.
void PasteIntoSelection(WordApplication& word, JoinContext& context);

/// True when a word processor of the user's own runs and answers to the automation name.
/// Never throws: anything that cannot be asked counts as not running.
[[nodiscard]] bool IsWordRunning(WordAutomation& automation) noexcept;

/// The question shown when a word processor of the user's own is running.
inline constexpr const char* kWordRunningQuestion =
    "Word may be open. It is recommended that you close Word first.\r\n\r\n"
    "Would you like to proceed anyway?";

/// True when the join must not start: a word processor of the user's own runs and the user did
/// not answer Yes to going on. Asks nothing when none runs.
[[nodiscard]] bool CancelIfWordRunning(WordAutomation& automation, Prompts& prompts);

} // namespace paperloom
