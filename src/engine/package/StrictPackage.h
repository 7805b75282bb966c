// ISO/IEC 29500 Strict packages read as their transitional equivalents.
#pragma once

#include "engine/package/Package.h"

namespace paperloom::engine {

/// True when the package's main relationship has a Strict type.
[[nodiscard]] bool isStrictPackage(const Package& package);

/// Rewrites every XML part of a Strict package in transitional form: namespaces and
/// relationship types, and the values transitional readers do not accept (lengths with units,
/// percentages written with "%", start and end for left and right, the conformance class).
/// Parts that are not well-formed stay as they are. Throws PackageError for parts over the
/// package's limits.
void convertStrictToTransitional(Package& package);

} // namespace paperloom::engine
