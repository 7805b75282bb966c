// The layout mode of a joined document: chosen over the list of documents it will hold, and the
// tables of the documents written in another.
#pragma once

#include "engine/package/Package.h"

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <vector>

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;

/// The layout mode a settings part states (w:compatSetting compatibilityMode: 12 for Word 2007,
/// 14 for 2010, 15 for 2013 and later); 0 where it states none, as documents of older writers.
[[nodiscard]] int layoutModeOf(const pugi::xml_node& settingsRoot);

/// True for the modes that measure a table's indent to its border (15 and later).
[[nodiscard]] inline bool measuresToBorder(int mode) {
    return mode >= 15;
}

/// The layout mode (compatibility mode) of the documents before Word 2013 measures a table's
/// indent to the text of its first cell, later ones to its border. When the pasted document and
/// the target differ there, the indent of each table that sits at the left of the text column
/// is moved by half its left border (its first cell's where that cell states one) and its left
/// cell margin, but at least another half border, so the table stays where it was. Runs on the
/// source body before the remap. Centred, right-aligned and floating tables are left alone.
void keepTablePlacesAcrossLayoutModes(PastedDocument& pasted, DocumentModel& target,
                                      pugi::xml_node body);

/// The layout mode the joined document takes instead of its first document's.
struct LayoutModeChoice {
    std::string firstPath; // the document the join starts with, which the choice is made for
    int mode = 0;          // as layoutModeOf: 0 states none
};

/// The layout mode cannot be stated per paragraph or table, and readers lay out a document's
/// text in the joined document's mode: the documents in the other mode lose what
/// keepTablePlacesAcrossLayoutModes cannot restate. Weighs the documents at paths (in join order)
/// by the text of their main parts, from the zip directory, and returns a choice when the documents
/// on the other side of the mode line that matters to readers (15: table indents, tabs past the
/// margin, line heights) hold more than twice the text of those on the first document's side: the
/// mode among them that holds the most. nullopt where they hold less, or the first document's mode
/// cannot be read; a document that cannot be read (or needs converting, or is Strict) does not
/// count. Reads the packages' markup, inflates only their relationships and settings; never throws.
[[nodiscard]] std::optional<LayoutModeChoice>
joinedLayoutMode(const std::vector<std::string>& paths, const PackageLimits& limits);

/// Makes settingsRoot (a w:settings element) state mode as its layout mode (none for 0).
void setLayoutMode(pugi::xml_node settingsRoot, int mode);

} // namespace paperloom::engine
