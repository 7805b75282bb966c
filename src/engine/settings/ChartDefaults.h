// Charts written by Office 2007: what the settings it left out meant.
#pragma once

#include "engine/package/Package.h"

#include <string>
#include <string_view>

namespace paperloom::engine {

/// True when the package's extended properties name a Microsoft application of version 12
/// (Office 2007). Readers take the settings such a package's charts leave out, or state without
/// a value, as off; in a package from any other writer, they take many of them as on. False
/// when the properties are missing or unreadable.
[[nodiscard]] bool writtenByOffice2007(const Package& package);

/// A chart part of an Office 2007 package, with every setting that suite left out or stated
/// without a value written out as it read it: labels, varied colours, axes, smoothing, overlays
/// and the like off, blank cells as gaps. Throws PackageError naming partName when the part
/// does not parse; returns the text unchanged when it is not a chart.
[[nodiscard]] std::string stateOffice2007ChartDefaults(std::string_view chartXml,
                                                       const std::string& partName);

} // namespace paperloom::engine
