// The dialogs a command can open: message box, input box, file dialogs and folder browser.
//
// Commands ask the user only through this interface, so the program shows the real dialogs
// while tests answer from a script and check what was asked.
#pragma once

#include <QString>

namespace paperloom {

/// The title every message box and input box carries.
inline const QString kApplicationTitle = QStringLiteral("Paperloom");

/// Button sets of a message box, by the codes the commands pass.
enum class MsgBoxButtons { OK = 0, YesNo = 4 };

/// The answer of a message box, by its code.
enum class MsgBoxResult { OK = 1, Yes = 6, No = 7 };

/// The settings a command writes into the common file dialog before showing it.
struct FileDialogSettings {
    QString FileName;
    int Flags = 0;
    QString DialogTitle;
    /// Pairs of description and pattern separated by '|', e.g. "Word (*.do*)|*.do*".
    QString Filter;
};

/// Open-dialog flags the commands pass: read-only box, multi-select, explorer style, long names.
inline constexpr int kOpenDialogFlags = 0x1 | 0x200 | 0x80000 | 0x200000;

class Prompts {
public:
    virtual ~Prompts() = default;

    /// Shows text with the application title and no icon; Yes is the default of YesNo.
    virtual MsgBoxResult MsgBox(const QString& text, MsgBoxButtons buttons) = 0;

    /// Asks for one line of text; returns the text on OK and the empty text on Cancel.
    virtual QString InputBox(const QString& prompt, const QString& defaultText) = 0;

    /// Shows the open dialog. Returns the empty text on Cancel, one full path for one file,
    /// or the directory followed by each chosen name, separated by NUL characters.
    virtual QString ShowOpen(const FileDialogSettings& settings) = 0;

    /// Shows the save dialog. Returns the chosen path exactly as chosen (no extension added,
    /// no overwrite question), or the empty text on Cancel.
    virtual QString ShowSave(const FileDialogSettings& settings) = 0;

    /// Shows the folder browser; returns the chosen folder's path or the empty text on Cancel.
    virtual QString BrowseForFolder(const QString& title) = 0;
};

} // namespace paperloom
