// The real dialogs of the desktop: the only place that includes Qt's dialog classes.
#include "platform/QtPrompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace paperloom {

MsgBoxResult QtPrompts::MsgBox(const QString& text, MsgBoxButtons buttons) {
    // A lone CR stands for a line break in the texts the commands show.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, shown, QMessageBox::NoButton, m_owner);
    if (buttons == MsgBoxButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (buttons == MsgBoxButtons::OK) {
        return MsgBoxResult::OK;
    }
    return answer == QMessageBox::Yes ? MsgBoxResult::Yes : MsgBoxResult::No;
}

QString QtPrompts::InputBox(const QString& prompt, const QString& defaultText) {
    bool ok = false;
    const QString answer = QInputDialog::getText(m_owner, kApplicationTitle, prompt,
                                                 QLineEdit::Normal, defaultText, &ok);
    return ok ? answer : QString();
}

QStringList QtPrompts::nameFilters(const QString& filter) {
    const QStringList parts = filter.split(QChar('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            continue;
        }
        // Several patterns are separated by ';' in the commands' filters and by spaces here.
        // "*.*" stands for every file, also those without a dot in their names, which the
        // dialog's "*.*" would hide.
        QStringList patterns = parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QStringLiteral("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        // The dialog takes the patterns from the parentheses, so the description's own
        // "(*.do*)" gives way to the patterns above.
        QString description = parts[i];
        const qsizetype open = description.lastIndexOf(QChar('('));
        if (open > 0 && description.endsWith(QChar(')'))) {
            description = description.left(open).trimmed();
        }
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QChar(' ')));
    }
    return filters;
}

QString QtPrompts::ShowOpen(const FileDialogSettings& settings) {
    QFileDialog dialog(m_owner, settings.DialogTitle);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(nameFilters(settings.Filter));
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return {};
    }
    if (files.size() == 1) {
        return files.front();
    }
    // Several files: the directory, then each name, separated by NUL characters.
    QStringList parts{QFileInfo(files.front()).absolutePath()};
    for (const QString& file : files) {
        parts << QFileInfo(file).fileName();
    }
    return parts.join(QChar(0));
}

QString QtPrompts::ShowSave(const FileDialogSettings& settings) {
    QFileDialog dialog(m_owner, settings.DialogTitle);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters(settings.Filter));
    // The command asks about replacing a file itself and saves under exactly the name typed.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString());
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

QString QtPrompts::BrowseForFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(m_owner, title, QString(), QFileDialog::ShowDirsOnly);
}

} // namespace paperloom
