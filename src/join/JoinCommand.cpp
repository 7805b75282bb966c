// The join command behind the button.
#include "join/JoinCommand.h"

#include <sys/stat.h>

#include <optional>

#include <QFile>
#include <QFileInfo>
#include <QString>

#include "join/FileExists.h"
#include "platform/Prompts.h"

namespace paperloom {
namespace {

std::string fileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString displayed(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

bool isSameFile(const std::string& first, const std::string& second) {
    struct stat a {};
    struct stat b {};
    if (::stat(first.c_str(), &a) != 0 || ::stat(second.c_str(), &b) != 0) {
        return false;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string specialFileKind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    if (S_ISFIFO(st.st_mode)) {
        return "a named pipe";
    }
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        return "a device";
    }
    if (S_ISSOCK(st.st_mode)) {
        return "a socket";
    }
    return {};
}

void runJoinCommand(Prompts& prompts, WordAutomation& automation, JoinWindow& window) {
    FileDialogSettings dialog;
    dialog.FileName = QString();
    dialog.Flags = kSaveDialogFlags;
    dialog.DialogTitle = QStringLiteral("Output Word Doc");
    dialog.Filter = QStringLiteral("Word Documents (*.doc)|*.doc|");
    const QString outputPath = prompts.ShowSave(dialog);
    if (outputPath.isEmpty()) {
        return;
    }
    const std::string output = fileName(outputPath);

    const std::string special = specialFileKind(output);
    if (!special.empty()) {
        prompts.MsgBox(QStringLiteral("\"%1\" is %2, not a file, and cannot be the output "
                                      "document. Please choose another name.")
                           .arg(outputPath, QString::fromStdString(special)),
                       MsgBoxButtons::OK);
        return;
    }
    if (FileExists(outputPath)) {
        // Replacing a document that is also to be joined would destroy it before it is read.
        for (int i = 1; i <= window.entryCount(); ++i) {
            if (isSameFile(window.entryPath(i), output)) {
                prompts.MsgBox(QStringLiteral("\"%1\" is one of the documents to join and cannot "
                                              "be the output document as well. Please choose "
                                              "another name.")
                                   .arg(outputPath),
                               MsgBoxButtons::OK);
                return;
            }
        }
        if (prompts.MsgBox(QStringLiteral("Are you sure you wish to overwrite ") + outputPath +
                               QStringLiteral(" ?"),
                           MsgBoxButtons::YesNo) != MsgBoxResult::Yes) {
            return;
        }
        // Through a symbolic link the file it leads to is replaced, and the link stays.
        const QString target = QFileInfo(outputPath).canonicalFilePath();
        QFile existing(target.isEmpty() ? outputPath : target);
        if (!existing.remove()) {
            prompts.MsgBox(QStringLiteral("\"%1\" could not be replaced: %2. Nothing was joined.")
                               .arg(outputPath, existing.errorString()),
                           MsgBoxButtons::OK);
            return;
        }
    }

    window.setMousePointer(MousePointerValue::Busy);
    if (window.entryCount() == 0) {
        prompts.MsgBox(QStringLiteral("No files added."), MsgBoxButtons::OK);
    } else if (!CancelIfWordRunning(automation, prompts)) {
        const std::optional<JoinFailure> failure = joinEntries(automation, window, output);
        if (failure && failure->stopped) {
            // The program ends; a message box would only hold that up.
        } else if (failure) {
            prompts.MsgBox(displayed(failure->message), MsgBoxButtons::OK);
        } else {
            prompts.MsgBox(
                QStringLiteral("The following Word document has been successfully created: ") +
                    QStringLiteral("\r\r") + outputPath,
                MsgBoxButtons::OK);
        }
        window.setProgress(0.0F);
    }
    window.setMousePointer(MousePointerValue::Default);
}

} // namespace paperloom
