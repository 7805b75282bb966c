// Where the gutter of a document's pages goes (w:gutterAtTop), kept as the document lays it out.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

/// The gutter of every section goes to the top of the page, not its side, when the settings
/// part says w:gutterAtTop; the joined document has one such setting for all its documents.
/// Moves the gutter of each section of mainRoot (a body part's document element) into its top
/// margin and header distance, where readers put it (the header moves down with the text), and
/// leaves a gutter of 0. Returns true when it changed anything.
bool stateGutterAtTop(pugi::xml_node mainRoot);

} // namespace paperloom::engine
