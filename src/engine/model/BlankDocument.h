// The built-in template that new documents start from.
#pragma once

#include <string>

namespace paperloom::engine {

struct BlankParts {
    std::string contentTypes;
    std::string packageRels;
    std::string document;
    std::string documentRels;
    std::string styles;
    std::string settings;
    std::string theme;
};

/// The parts of a new document: one empty paragraph, a page of the given size in twips with
/// 2.54 cm margins, a Normal style and the other defaults of a current word processor.
[[nodiscard]] BlankParts blankParts(int pageWidth, int pageHeight);

/// The start tag of a new part's document element, with our usual namespace declarations.
[[nodiscard]] std::string blankStartTag(const std::string& elementName);

} // namespace paperloom::engine
