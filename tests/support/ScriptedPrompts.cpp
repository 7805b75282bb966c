// Scripted answers for the prompts interface.
#include "ScriptedPrompts.h"

#include <QStringList>

namespace paperloom::test {
namespace {

template <typename T> T take(std::deque<T>& queue, T fallback) {
    if (queue.empty()) {
        return fallback;
    }
    T answer = queue.front();
    queue.pop_front();
    return answer;
}

} // namespace

MsgBoxResult ScriptedPrompts::MsgBox(const QString& text, MsgBoxButtons buttons) {
    asked.push_back({AskedPrompt::Kind::MsgBox, text, buttons, {}, {}});
    const MsgBoxResult neutral =
        buttons == MsgBoxButtons::YesNo ? MsgBoxResult::No : MsgBoxResult::OK;
    return take(msgBoxAnswers, neutral);
}

QString ScriptedPrompts::InputBox(const QString& prompt, const QString& defaultText) {
    asked.push_back({AskedPrompt::Kind::InputBox, prompt, MsgBoxButtons::OK, defaultText, {}});
    return take(inputBoxAnswers, QString());
}

QString ScriptedPrompts::ShowOpen(const FileDialogSettings& settings) {
    asked.push_back(
        {AskedPrompt::Kind::ShowOpen, settings.DialogTitle, MsgBoxButtons::OK, {}, settings});
    return take(openAnswers, QString());
}

QString ScriptedPrompts::ShowSave(const FileDialogSettings& settings) {
    asked.push_back(
        {AskedPrompt::Kind::ShowSave, settings.DialogTitle, MsgBoxButtons::OK, {}, settings});
    return take(saveAnswers, QString());
}

QString ScriptedPrompts::BrowseForFolder(const QString& title) {
    asked.push_back({AskedPrompt::Kind::BrowseForFolder, title, MsgBoxButtons::OK, {}, {}});
    return take(folderAnswers, QString());
}

QStringList ScriptedPrompts::messages() const {
    QStringList texts;
    for (const AskedPrompt& prompt : asked) {
        if (prompt.kind == AskedPrompt::Kind::MsgBox) {
            texts << prompt.text;
        }
    }
    return texts;
}

} // namespace paperloom::test
