// The structural check of a written package: what makes a word processor call it unreadable.
#pragma once

#include "engine/package/Package.h"

#include <filesystem>
#include <string>
#include <vector>

namespace paperloom::engine::testing {

/// The structural flaws of a package, one short sentence each, in a stable order: dangling
/// relationships and references to relationships a part does not have, parts without a content
/// type (or with two), ids that must be unique and are not (relationship ids, w14:paraId,
/// w14:textId, drawing, VML shape, bookmark, comment, revision, note and content control ids,
/// comment durableIds, people), references to comments, notes and separators that are not there,
/// styles that stories name and styles.xml lacks, comment threads that name paragraphs that are
/// not there and data bindings to custom XML parts that are not there. Empty for a sound
/// package. Keep in
/// step with structure_problems of bench/fidelity/fidelity.
[[nodiscard]] std::vector<std::string> structuralProblems(const Package& package);
/// The same for a file; a file that is not a readable package is one problem.
[[nodiscard]] std::vector<std::string> structuralProblems(const std::filesystem::path& path);

/// The problems of output that none of the sources has already (corpus files are not all
/// perfectly formed; a join must add no flaws of its own).
[[nodiscard]] std::vector<std::string>
newStructuralProblems(const std::filesystem::path& output,
                      const std::vector<std::filesystem::path>& sources);

} // namespace paperloom::engine::testing
