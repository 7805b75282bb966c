// Add Word File(s): the files chosen in the open dialog, appended to the document list.
#pragma once

#include <QStringList>

namespace paperloom {

class ListItems;
class Prompts;

/// The paths in an open dialog's result: nothing for the empty text (Cancel), the text itself
/// for one file, or the directory (piece 0) joined to each further NUL-separated name with
/// exactly one '/', none added when the directory already ends in one (as "/" does). Empty
/// names are passed over: they name no file.
[[nodiscard]] QStringList pathsFromOpenDialogResult(const QString& result);

/// Shows the open dialog (several files, Word documents or all files) and appends each chosen
/// path as a new last entry, in the dialog's order. Cancel changes nothing.
void addWordFiles(Prompts& prompts, ListItems& items);

} // namespace paperloom
