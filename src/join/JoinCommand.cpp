// The join command and the loop it shares with the command-line tool.
#include "join/JoinCommand.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QString>

#include "join/FileExists.h"
#include "platform/Prompts.h"

namespace paperloom {
namespace {

// The sentence shown for a failure that is not the engine's own, e.g. memory running out.
constexpr const char* kUnexpectedFailure = "The documents could not be joined because of an "
                                           "unexpected error.";

// Says which document the join stopped at and what the output file holds now, so the user
// knows what is on disk: every step saves the output whole, so it holds exactly the entries
// before the one that failed, once the saves still being written are done. When one of those
// could not be written, the output holds fewer of them, if any. A first save that fails is no
// fault of the first document.
std::string whereItStopped(int entry, int count, const std::string& entryPath,
                           const std::string& outputPath, bool outputFailed, bool incomplete) {
    const std::string named = entryPath.empty() ? std::string() : ", \"" + entryPath + "\"";
    if (entry > count) {
        return "All " + std::to_string(count) + " documents were joined, but \"" + outputPath +
               "\" does not hold all of them.";
    }
    if (entry <= 1 && outputFailed) {
        return "Nothing was joined; no output document was written.";
    }
    if (entry <= 1) {
        return "The join stopped at the first document" + named +
               "; no output document was written.";
    }
    return "The join stopped at document " + std::to_string(entry) + " of " +
           std::to_string(count) + named + "; \"" + outputPath + "\" holds " +
           (incomplete ? "only some of the documents before it, if any."
                       : "the documents before it.");
}

// The sentence for the user of a failure the join caught, or the one for an unexpected one.
std::string reasonOf(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const WordError& error) {
        if (!error.userMessage().empty()) {
            return error.userMessage();
        }
    } catch (...) {
    }
    return kUnexpectedFailure;
}

bool isStop(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const WordInterrupted&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Waits for the saves still being written; their failure, if any.
std::exception_ptr finishSaves(WordAutomation& automation) noexcept {
    try {
        automation.waitForSaves();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

// Tells the automation which documents come, so it can prepare them; only a hint.
void announceEntries(WordAutomation& automation, const JoinWindow& window, int count) noexcept {
    try {
        std::vector<std::string> paths;
        for (int i = 1; i <= count; ++i) {
            paths.push_back(window.entryPath(i));
        }
        automation.expectDocuments(paths);
    } catch (...) {
    }
}

std::string fileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString displayed(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

void JoinWindow::setBusyPointer() {
    setMousePointer(MousePointerValue::Busy);
}

std::optional<JoinFailure> joinEntries(WordAutomation& automation, JoinWindow& window,
                                       const std::string& outputPath) {
    const int count = window.entryCount();
    announceEntries(automation, window, count);
    int stoppedAt = count + 1;
    std::string entry;
    std::exception_ptr failure;
    bool outputFailed = false;
    for (int i = 1; i <= count; ++i) {
        entry.clear();
        try {
            window.setProgress(static_cast<float>(i / double(window.entryCount()) * 100));
            window.setBusyPointer();
            entry = window.entryPath(i);
            window.setBusyPointer();
            CopyDocumentToClipboard(automation, window, entry);
            window.setBusyPointer();
            if (i == 1) {
                StartJoinedDocument(automation, window, outputPath);
            } else if (i == window.entryCount()) {
                AppendLastDocument(automation, window, outputPath);
            } else {
                AppendDocument(automation, window, outputPath);
            }
            window.setBusyPointer();
        } catch (const OutputError&) {
            failure = std::current_exception();
            outputFailed = true;
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            stoppedAt = i;
            break;
        }
    }
    // The output is complete, or holds the documents before the failing one, only once the
    // saves still being written in the background are done.
    const std::exception_ptr unsaved = finishSaves(automation);
    if (!failure && !unsaved) {
        return std::nullopt;
    }
    std::string reason = reasonOf(failure ? failure : unsaved);
    if (failure && unsaved && reasonOf(unsaved) != reason && !isStop(failure)) {
        reason += "\r\r" + reasonOf(unsaved);
    }
    JoinFailure result;
    result.message = reason + "\r\r" +
                     whereItStopped(stoppedAt, count, stoppedAt > count ? std::string() : entry,
                                    outputPath, outputFailed, unsaved != nullptr);
    result.entry = std::min(stoppedAt, count);
    result.count = count;
    result.stopped = (failure && isStop(failure)) || (unsaved && isStop(unsaved));
    return result;
}

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
