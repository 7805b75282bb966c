// Where floating shapes stand in the stacking order: a VML shape's z-index, a drawing anchor's
// relativeHeight.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <optional>

namespace paperloom::engine {

/// The stacking position element states (the z-index of a VML style, the relativeHeight of a
/// drawing anchor), or nothing when it states none or one that is not a whole number.
[[nodiscard]] std::optional<std::int64_t> stackingPosition(const pugi::xml_node& element);
/// Replaces the position element states; changes nothing where it states none.
void setStackingPosition(pugi::xml_node element, std::int64_t value);

/// The least and greatest of the stacking positions met in front of the text (-1 while none
/// was met). Negative z-indexes put VML shapes behind the text and stay as they are.
struct StackingRange {
    std::int64_t least = -1;
    std::int64_t most = -1;

    /// Takes in the positions of node and every element below it.
    void add(const pugi::xml_node& node);
};

/// How far a pasted document's positions in front of the text move up so that they all exceed
/// targetMost (the greatest such position the joined document has, -1 for none): 0 where they
/// do already, or where moving them would leave the 32-bit range readers keep them in.
[[nodiscard]] std::int64_t stackingShift(std::int64_t targetMost, const StackingRange& pasted);
/// value moved up by shift where it is not negative; a negative one as it is.
[[nodiscard]] std::int64_t shiftedPosition(std::int64_t value, std::int64_t shift);

} // namespace paperloom::engine
