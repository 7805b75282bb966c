// How a DocumentEngine is set up: paper for new documents, input limits, optional seams.
#pragma once

#include "engine/automation/DocumentConverter.h"
#include "engine/package/Package.h"

#include "word/WordAutomation.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace paperloom::engine {

/// Paper for new documents.
enum class PaperSize { A4, Letter };

/// The paper the user's locale asks for (LC_PAPER): Letter where it is 216 mm wide, else A4.
[[nodiscard]] PaperSize paperFromLocale();

struct EngineOptions {
    /// Paper of documents made by Documents.Add; unset means paperFromLocale().
    std::optional<PaperSize> paper;
    /// Limits applied to every package read.
    PackageLimits limits;
    /// Converts other formats on open and on save; unset means they fail with a clear error.
    std::shared_ptr<DocumentConverter> converter;
    /// Finds the user's own running word processor; unset means none is ever found.
    std::function<std::unique_ptr<WordApplication>()> findRunning;
    /// Called before each step of every paste with the step's name: a fault seam that lets a
    /// test fail a paste part-way. Unset in the program.
    std::function<void(std::string_view step)> beforePasteStep;
};

} // namespace paperloom::engine
