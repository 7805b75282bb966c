// Tables of a pasted document written in another layout mode than the joined document's.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;

/// The layout mode (compatibility mode) of the documents before Word 2013 measures a table's
/// indent to the text of its first cell, later ones to its border. When the pasted document and
/// the target differ there, the indent of each table that sits at the left of the text column
/// is moved by half its left border (its first cell's where that cell states one) and its left
/// cell margin, but at least another half border, so the table stays where it was. Runs on the
/// source body before the remap. Centred, right-aligned and floating tables are left alone.
void keepTablePlacesAcrossLayoutModes(PastedDocument& pasted, DocumentModel& target,
                                      pugi::xml_node body);

} // namespace paperloom::engine
