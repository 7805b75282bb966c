// Prompts answered from a script, recording everything the program asked.
#pragma once

#include <deque>
#include <vector>

#include <QString>

#include "platform/Prompts.h"

namespace paperloom::test {

/// One question the program asked, with what it showed.
struct AskedPrompt {
    enum class Kind { MsgBox, InputBox, ShowOpen, ShowSave, BrowseForFolder };
    Kind kind;
    QString text; // message, prompt or title
    MsgBoxButtons buttons = MsgBoxButtons::OK;
    QString defaultText;
    FileDialogSettings dialog;
};

/// Answers are taken in order from per-kind queues; a question with no queued answer gets the
/// neutral answer (OK, Cancel, or the empty text).
class ScriptedPrompts final : public Prompts {
public:
    std::deque<MsgBoxResult> msgBoxAnswers;
    std::deque<QString> inputBoxAnswers;
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::deque<QString> folderAnswers;

    std::vector<AskedPrompt> asked;

    MsgBoxResult MsgBox(const QString& text, MsgBoxButtons buttons) override;
    QString InputBox(const QString& prompt, const QString& defaultText) override;
    QString ShowOpen(const FileDialogSettings& settings) override;
    QString ShowSave(const FileDialogSettings& settings) override;
    QString BrowseForFolder(const QString& title) override;

    /// The texts of the message boxes shown, in order.
    [[nodiscard]] QStringList messages() const;
};

} // namespace paperloom::test
