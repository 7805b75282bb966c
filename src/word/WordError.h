// The one error type of the automation interface: what failed, where, and the user's sentence.
//
// Every failure the engine, the office bridge or the join steps report is a WordError. Deep in
// the engine a failure knows only why ("the document is damaged (malformed XML)") and where (a
// part, an offset); the operation the user asked for (opening, saving, pasting a file) adds what
// was being done when the failure passes it. userSentence() is the one place that turns the two
// into the sentence the user reads. Types derived from WordError exist only to be caught apart;
// they add no fields.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace paperloom {

/// What kind of failure an error reports.
enum class FailureKind {
    Refused,     // the operation cannot be done as asked
    Read,        // a document cannot be read: missing, damaged, not a document, too large
    Write,       // a file cannot be written: no room, no permission, something in the way
    Conversion,  // the converter of other formats is missing or failed
    Memory,      // memory ran out
    Internal,    // a failure the program did not expect of a library it uses
    Interrupted, // the program was asked to end
};

/// The operation the user's sentence names: what was being done when the failure happened.
enum class FailedAction { None, Open, Save, Copy, Edit, Paste, Create, InsertBreak, Delete };

/// Where a failure happened, as far as it is known.
struct FailureContext {
    std::string file;                    // the file read or written, when not the one acted on
    std::string part;                    // the part inside the package
    std::optional<std::uint64_t> offset; // in the part (or the file, without a part)
    std::string detail;                  // anything else technical: a library's own message
};

class WordError;

/// The sentence the user reads for error: its reason, completed by the action it interrupted
/// ("Cannot open /home/ann/report.doc: not a Word document."). Empty for a reason that still
/// waits for its action, which only a failure of the program itself leaves without one.
[[nodiscard]] std::string userSentence(const WordError& error);

/// The one exception every failing operation throws.
class WordError : public std::exception {
public:
    /// A failure whose reason is already a whole sentence for the user.
    explicit WordError(std::string sentence, std::string detail = {},
                       FailureKind kind = FailureKind::Refused)
        : m_kind(kind),
          m_reason(std::move(sentence)), m_context{{}, {}, std::nullopt, std::move(detail)},
          m_wholeSentence(true), m_what(m_reason) {}

    /// A failure whose reason completes the sentence of the action that during() adds later:
    /// "the disk is full".
    WordError(FailureKind kind, std::string reason, FailureContext context)
        : m_kind(kind), m_reason(std::move(reason)), m_context(std::move(context)),
          m_wholeSentence(false), m_what(withDetail(m_reason)) {}

    /// The same failure, as it interrupted action on subject (the file the user named).
    [[nodiscard]] WordError during(FailedAction action, std::string subject = {}) const {
        WordError error(*this);
        error.m_action = action;
        error.m_subject = std::move(subject);
        error.m_what = userSentence(error);
        return error;
    }

    [[nodiscard]] FailureKind kind() const noexcept { return m_kind; }
    /// Why it failed: a whole sentence, or what follows "Cannot open <file>: ".
    [[nodiscard]] const std::string& reason() const noexcept { return m_reason; }
    [[nodiscard]] const FailureContext& context() const noexcept { return m_context; }
    [[nodiscard]] FailedAction action() const noexcept { return m_action; }
    /// The file the action was on, as the user named it.
    [[nodiscard]] const std::string& subject() const noexcept { return m_subject; }
    /// True when reason() is the whole sentence, needing no action to complete it.
    [[nodiscard]] bool wholeSentence() const noexcept { return m_wholeSentence; }

    /// The sentence for the user (userSentence).
    [[nodiscard]] std::string userMessage() const { return userSentence(*this); }
    /// The context as one line for whoever reads further ("word/document.xml: <what pugixml
    /// says> at offset 12"); empty when nothing is known.
    [[nodiscard]] std::string detail() const {
        std::string text = m_context.part.empty() ? m_context.file : m_context.part;
        if (!m_context.detail.empty()) {
            text += (text.empty() ? "" : ": ") + m_context.detail;
        }
        if (m_context.offset) {
            text += (text.empty() ? "offset " : " at offset ") + std::to_string(*m_context.offset);
        }
        return text;
    }
    /// The user's sentence once the action is known; before, the reason with the detail.
    [[nodiscard]] const char* what() const noexcept override { return m_what.c_str(); }

private:
    std::string withDetail(const std::string& reason) const {
        const std::string technical = detail();
        return technical.empty() ? reason : reason + " (" + technical + ")";
    }

    FailureKind m_kind;
    std::string m_reason;
    FailureContext m_context;
    FailedAction m_action = FailedAction::None;
    std::string m_subject;
    bool m_wholeSentence;
    std::string m_what;
};

/// The failure of an operation refused because the program was asked to end (by a signal): the
/// join stops where it is, without further questions, and the program ends.
class WordInterrupted : public WordError {
public:
    explicit WordInterrupted(std::string sentence, std::string detail = {})
        : WordError(std::move(sentence), std::move(detail), FailureKind::Interrupted) {}
};

inline std::string userSentence(const WordError& error) {
    if (error.wholeSentence()) {
        return error.reason();
    }
    const std::string& subject = error.subject();
    std::string doing;
    switch (error.action()) {
    case FailedAction::None:
        return {};
    case FailedAction::Open:
        doing = "Cannot open " + subject;
        break;
    case FailedAction::Save:
        doing = "Cannot save " + subject;
        break;
    case FailedAction::Copy:
        doing = "Cannot copy " + subject;
        break;
    case FailedAction::Edit:
        doing = "Cannot edit " + subject;
        break;
    case FailedAction::Paste:
        doing = "Cannot paste the content of " + subject;
        break;
    case FailedAction::Create:
        doing = "Cannot create a new document";
        break;
    case FailedAction::InsertBreak:
        doing = "Cannot insert a break";
        break;
    case FailedAction::Delete:
        doing = "Cannot delete";
        break;
    }
    return doing + ": " + error.reason() + ".";
}

} // namespace paperloom
