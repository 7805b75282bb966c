// Schema order of the property elements we insert, so that inserted markup stays valid.
#pragma once

#include <pugixml.hpp>

#include <initializer_list>

namespace paperloom::engine {

/// Children of w:rPr in schema order.
extern const std::initializer_list<const char*> kRunPropertyOrder;
/// Children of w:pPr in schema order.
extern const std::initializer_list<const char*> kParagraphPropertyOrder;
/// Children of w:style in schema order.
extern const std::initializer_list<const char*> kStyleOrder;
/// Children of w:sectPr in schema order.
extern const std::initializer_list<const char*> kSectionOrder;
/// Children of w:settings in schema order (the part we touch).
extern const std::initializer_list<const char*> kSettingsOrder;

/// Inserts a copy of child into parent at its schema position (before the first sibling that
/// comes later in order; appended when none does or the name is not in order). Returns it.
pugi::xml_node insertOrdered(pugi::xml_node parent, const pugi::xml_node& child,
                             std::initializer_list<const char*> order);
/// The child with this name, created at its schema position when missing.
pugi::xml_node orderedChild(pugi::xml_node parent, const char* name,
                            std::initializer_list<const char*> order);

} // namespace paperloom::engine
