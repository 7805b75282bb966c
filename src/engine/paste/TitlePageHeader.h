// A title page without a header of its own, kept clear of the empty one the join gives it.
#pragma once

#include "engine/package/Package.h"

#include <string>

namespace paperloom::engine {

/// For a document pasted after one that states a first-page header: its first section shows
/// no header on its title page (w:titlePg without a first-page reference), so the join gives
/// that page an empty one, which pushes the text down wherever the header distance reaches the
/// top margin (an envelope: its text starts at the margin, above the header distance). Cuts the
/// distance so that the empty header fits above the margin, and keeps the section's other pages
/// as they were: its own default and even headers are copied with a first line as tall as the
/// cut, and the later sections that inherited them name the originals.
void stateTitlePageClearOfHeader(Package& out, const std::string& mainPart);

} // namespace paperloom::engine
