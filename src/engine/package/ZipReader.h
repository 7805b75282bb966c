// Reading a zip file into a Package through libzip, with the limits that untrusted input needs.
#pragma once

#include "engine/package/Package.h"

#include <functional>
#include <string>
#include <string_view>

namespace paperloom::engine {

/// Reads every entry of the zip at path in its stored form (nothing is inflated here).
/// Throws PackageError for a damaged, truncated, encrypted or oversized archive and for entry
/// names that would leave the package.
/// With wanted, only the entries whose names it accepts are read and checked; the rest are
/// passed over as if absent (a look at a few small parts of a large package).
[[nodiscard]] Package readZipPackage(const std::string& path, const PackageLimits& limits,
                                     const std::function<bool(std::string_view)>& wanted = {});

} // namespace paperloom::engine
