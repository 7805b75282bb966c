// Copied parts that name something outside themselves, rewritten for the joined document.
#pragma once

#include "engine/package/Package.h"

#include <functional>
#include <string>

namespace paperloom::engine {

struct ThemeFonts;

/// A custom XML properties part with its item id (ds:itemID) replaced by itemId. Throws
/// PackageError for a part that does not parse.
[[nodiscard]] PartDataPtr withItemId(const Package& source, const std::string& propsPart,
                                     const std::string& itemId);

/// A diagram's data part whose drawing reference (dsp:dataModelExt relId), a relationship of
/// the part showing the diagram, is renamed by mapRelationship; null when it names none.
/// Throws PackageError for a part that does not parse.
[[nodiscard]] PartDataPtr
withDrawingRenamed(const Package& source, const std::string& dataPart,
                   const std::function<std::string(const std::string&)>& mapRelationship);

/// A drawing part (a diagram's drawing, a chart) with the theme colours it names (a:schemeClr)
/// written out as theme gives them; null when it names none. Throws PackageError for a part that
/// does not parse.
[[nodiscard]] PartDataPtr withSchemeColorsStated(const Package& source, const std::string& part,
                                                 const ThemeFonts& theme);

/// A chart with the typefaces of the theme it was made with written in where it names theme
/// fonts or none; where that theme has no latin font (or there is no theme), the sans serif
/// readers take then. Null when the part is no chart. Throws PackageError for a part that does
/// not parse.
[[nodiscard]] PartDataPtr withThemeFontsStated(const Package& source, const std::string& chartPart,
                                               const ThemeFonts& fonts);

} // namespace paperloom::engine
