// The real dialogs of the desktop behind the prompts interface.
#pragma once

#include "platform/Prompts.h"

#include <QPointer>
#include <QWidget>

namespace paperloom {

class QtPrompts final : public Prompts {
public:
    /// Dialogs are modal to the owner window once one is set.
    void setOwner(QWidget* owner) { m_owner = owner; }

    MsgBoxResult MsgBox(const QString& text, MsgBoxButtons buttons) override;
    QString InputBox(const QString& prompt, const QString& defaultText) override;
    QString ShowOpen(const FileDialogSettings& settings) override;
    QString ShowSave(const FileDialogSettings& settings) override;
    QString BrowseForFolder(const QString& title) override;

    /// Turns "Description|pattern|Description|pattern" into the dialog's name filters.
    [[nodiscard]] static QStringList nameFilters(const QString& filter);

private:
    QPointer<QWidget> m_owner;
};

} // namespace paperloom
