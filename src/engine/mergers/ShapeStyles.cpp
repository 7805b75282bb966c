// What the style references of a shape take from its theme's formatting scheme.
#include "engine/mergers/ShapeStyles.h"

#include "engine/package/Xml.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace paperloom::engine {
namespace {

pugi::xml_node childNamed(const pugi::xml_node& parent, std::string_view local) {
    for (auto child : parent.children()) {
        if (localName(child.name()) == local) {
            return child;
        }
    }
    return {};
}

bool hasChildAmong(const pugi::xml_node& parent, std::initializer_list<std::string_view> locals) {
    for (auto child : parent.children()) {
        for (const auto local : locals) {
            if (localName(child.name()) == local) {
                return true;
            }
        }
    }
    return false;
}

/// The n-th (0-based) element child of a list, or none.
pugi::xml_node nthEntry(const pugi::xml_node& list, long n) {
    for (auto child : list.children()) {
        if (child.type() == pugi::node_element && n-- == 0) {
            return child;
        }
    }
    return {};
}

/// Gives an element and everything inside it this prefix (the theme's DrawingML prefix may
/// differ from the one bound where the shape is).
void rebind(pugi::xml_node node, const std::string& prefix) {
    forEachElement(node, [&](pugi::xml_node element) {
        const std::string local(localName(element.name()));
        element.set_name((prefix.empty() ? local : prefix + ":" + local).c_str());
        return true;
    });
}

/// The last child of spPr among these, to insert after; none when it has none of them.
pugi::xml_node lastOf(const pugi::xml_node& spPr, std::initializer_list<std::string_view> locals) {
    pugi::xml_node last;
    for (auto child : spPr.children()) {
        for (const auto local : locals) {
            if (localName(child.name()) == local) {
                last = child;
            }
        }
    }
    return last;
}

/// Puts the reference's colour (resolved, with the entry's shades and tints on top of it) in
/// place of each placeholder colour of a copied entry; without a colour the placeholders go.
void paintPlaceholders(pugi::xml_node copy, const pugi::xml_node& reference,
                       const std::function<void(pugi::xml_node)>& resolveColour) {
    const auto colour = reference.first_child();
    std::vector<pugi::xml_node> placeholders;
    forEachElement(copy, [&](pugi::xml_node element) {
        if (localName(element.name()) == "schemeClr" &&
            std::string_view(element.attribute("val").value()) == "phClr") {
            placeholders.push_back(element);
        }
        return true;
    });
    for (auto placeholder : placeholders) {
        if (colour.type() != pugi::node_element) {
            placeholder.parent().remove_child(placeholder);
            continue;
        }
        auto stated = placeholder.parent().insert_copy_before(colour, placeholder);
        resolveColour(stated);
        for (auto modifier : placeholder.children()) {
            stated.append_copy(modifier);
        }
        placeholder.parent().remove_child(placeholder);
    }
}

} // namespace

void ShapeStyles::load(const std::string& formatScheme) {
    m_scheme.reset();
    if (!formatScheme.empty() && !m_scheme.load_string(formatScheme.c_str())) {
        m_scheme.reset();
    }
}

void ShapeStyles::state(pugi::xml_node style,
                        const std::function<void(pugi::xml_node)>& resolveColour) const {
    auto spPr = childNamed(style.parent(), "spPr");
    const auto scheme = m_scheme.document_element();
    if (!spPr || !scheme) {
        return;
    }
    const std::string prefix(prefixOf(style.first_child().name()));
    // Copies the entry a reference names into spPr after the last of `after` (first when none),
    // with the reference's colour where the entry has the placeholder.
    auto stateEntry = [&](const pugi::xml_node& reference, pugi::xml_node entry,
                          std::initializer_list<std::string_view> after) {
        if (!entry) {
            return;
        }
        const auto anchor = lastOf(spPr, after);
        auto copy = anchor ? spPr.insert_copy_after(entry, anchor) : spPr.prepend_copy(entry);
        rebind(copy, prefix);
        paintPlaceholders(copy, reference, resolveColour);
    };
    // A gradient of the shape's own that leaves out its shading takes it, and whatever else it
    // leaves out, from the gradient its style names, in LibreOffice and in the word processor
    // (whose fallback picture of such a shape rotates with it as the style's gradient says).
    // Under another theme that index names another fill, whose path LibreOffice would draw even
    // over a stated angle: the shape gets what its own theme's gradient gave it, and its
    // reference names no fill.
    auto completeGradient = [&](pugi::xml_node reference, pugi::xml_node gradient,
                                const pugi::xml_node& entry) {
        if (localName(entry.name()) != "gradFill" || hasChildAmong(gradient, {"lin", "path"})) {
            return;
        }
        const auto shading = lastOf(entry, {"lin", "path"});
        if (!shading) {
            return;
        }
        for (auto attribute : entry.attributes()) {
            // The theme's prefixes are not declared where the shape is.
            if (std::strchr(attribute.name(), ':') == nullptr &&
                !gradient.attribute(attribute.name())) {
                gradient.append_attribute(attribute.name()) = attribute.value();
            }
        }
        auto stops = childNamed(gradient, "gsLst");
        if (!stops && childNamed(entry, "gsLst")) {
            stops = gradient.prepend_copy(childNamed(entry, "gsLst"));
            rebind(stops, prefix);
            paintPlaceholders(stops, reference, resolveColour);
        }
        rebind(stops ? gradient.insert_copy_after(shading, stops) : gradient.prepend_copy(shading),
               prefix);
        if (!childNamed(gradient, "tileRect") && childNamed(entry, "tileRect")) {
            rebind(gradient.append_copy(childNamed(entry, "tileRect")), prefix);
        }
        reference.attribute("idx").set_value("0");
    };

    // Each goes after what precedes it in the properties: geometry, fill, line, effects.
    for (auto reference : style.children()) {
        const auto kind = localName(reference.name());
        const long index = std::strtol(reference.attribute("idx").value(), nullptr, 10);
        if (index < 1) {
            continue; // no style
        }
        if (kind == "fillRef") {
            const auto entry = index >= 1001
                                   ? nthEntry(childNamed(scheme, "bgFillStyleLst"), index - 1001)
                                   : nthEntry(childNamed(scheme, "fillStyleLst"), index - 1);
            if (!hasChildAmong(
                    spPr, {"noFill", "solidFill", "gradFill", "blipFill", "pattFill", "grpFill"})) {
                stateEntry(reference, entry, {"xfrm", "custGeom", "prstGeom"});
            } else if (const auto gradient = childNamed(spPr, "gradFill")) {
                completeGradient(reference, gradient, entry);
            }
        } else if (kind == "lnRef" && !hasChildAmong(spPr, {"ln"})) {
            stateEntry(reference, nthEntry(childNamed(scheme, "lnStyleLst"), index - 1),
                       {"xfrm", "custGeom", "prstGeom", "noFill", "solidFill", "gradFill",
                        "blipFill", "pattFill", "grpFill"});
        } else if (kind == "effectRef" && !hasChildAmong(spPr, {"effectLst", "effectDag"})) {
            const auto effect = nthEntry(childNamed(scheme, "effectStyleLst"), index - 1);
            auto list = childNamed(effect, "effectLst");
            if (!list) {
                list = childNamed(effect, "effectDag");
            }
            stateEntry(reference, list,
                       {"xfrm", "custGeom", "prstGeom", "noFill", "solidFill", "gradFill",
                        "blipFill", "pattFill", "grpFill", "ln"});
        }
    }
}

} // namespace paperloom::engine
