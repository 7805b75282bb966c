// Copying a pasted document's VML shape type definitions into the target's first drawing.
#include "engine/paste/ShapeTypes.h"

#include "engine/model/DocumentModel.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace paperloom::engine {
namespace {

bool isShapeType(const pugi::xml_node& node) {
    return node.type() == pugi::node_element && std::strcmp(node.name(), "v:shapetype") == 0;
}

std::string_view prefixOf(std::string_view name) {
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

/// Calls visit with every element under root in document order, but not what mc:Fallback holds.
template <typename Visit> void walkChosen(const pugi::xml_node& root, Visit&& visit) {
    for (auto child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element || std::strcmp(child.name(), "mc:Fallback") == 0) {
            continue;
        }
        if (!visit(child)) {
            return;
        }
        walkChosen(child, visit);
    }
}

/// True when every prefix in the definition is declared by the target and nothing in it refers
/// to a part (whose relationship the target would not have).
bool copyable(const pugi::xml_node& type, const DocumentModel& target) {
    const auto& declared = target.body.namespaces();
    auto known = [&declared](std::string_view name) {
        const auto prefix = prefixOf(name);
        return prefix.empty() || prefix == "xml" ||
               std::any_of(declared.begin(), declared.end(),
                           [prefix](const auto& ns) { return ns.first == prefix; });
    };
    bool ok = true;
    auto check = [&](const pugi::xml_node& node) {
        if (!known(node.name())) {
            ok = false;
        }
        for (auto attribute : node.attributes()) {
            const std::string_view name = attribute.name();
            if (prefixOf(name) == "r" || prefixOf(name) == "xmlns" || name == "xmlns" ||
                !known(name)) {
                ok = false;
            }
        }
        return ok;
    };
    check(type);
    if (ok) {
        walkChosen(type, check);
    }
    return ok;
}

/// The id a shape's type attribute names ("#_x0000_t75" names "_x0000_t75").
std::string_view namedType(const pugi::xml_node& shape) {
    std::string_view type = shape.attribute("type").value();
    return type.empty() || type.front() != '#' ? std::string_view() : type.substr(1);
}

} // namespace

void shareShapeTypes(const pugi::xml_node& sourceBody, DocumentModel& target) {
    std::vector<pugi::xml_node> offered;
    std::unordered_set<std::string> offeredIds;
    walkChosen(sourceBody, [&](const pugi::xml_node& node) {
        const std::string id = node.attribute("id").value();
        if (isShapeType(node) && !id.empty() && offeredIds.insert(id).second) {
            offered.push_back(node);
        }
        return true;
    });
    if (offered.empty()) {
        return;
    }
    // The look below inflates the whole target, so it is taken only for ids the document has
    // not met yet: joining many documents that define the same types stays linear.
    auto& known = target.ids.shapeTypes;
    const bool news = std::any_of(offered.begin(), offered.end(), [&known](const auto& type) {
        return !known.contains(type.attribute("id").value());
    });
    for (const auto& type : offered) {
        known.claim(type.attribute("id").value());
    }
    if (!news) {
        return;
    }

    // One look at the whole target: which ids it defines or names, and where it defines first.
    std::unordered_set<std::string> taken;
    std::size_t block = 0;
    std::size_t firstBlock = 0;
    bool defines = false;
    target.body.editBlocks([&](pugi::xml_node top) {
        walkChosen(top, [&](const pugi::xml_node& node) {
            if (isShapeType(node)) {
                taken.emplace(node.attribute("id").value());
                if (!defines) {
                    defines = true;
                    firstBlock = block;
                }
            } else if (prefixOf(node.name()) == "v") {
                taken.emplace(namedType(node));
            }
            return true;
        });
        ++block;
        return false;
    });
    if (!defines) {
        return; // the pasted document's own first definitions are the ones found
    }
    std::erase_if(offered, [&](const pugi::xml_node& type) {
        return taken.count(type.attribute("id").value()) != 0 || !copyable(type, target);
    });
    if (offered.empty()) {
        return;
    }

    block = 0;
    target.body.editBlocks([&](pugi::xml_node top) {
        if (block++ != firstBlock) {
            return false;
        }
        pugi::xml_node first;
        walkChosen(top, [&first](const pugi::xml_node& node) {
            if (isShapeType(node)) {
                first = node;
            }
            return !first;
        });
        if (!first) {
            return false;
        }
        // After the definitions already there, so the drawing's own come first as before.
        auto last = first;
        while (isShapeType(last.next_sibling())) {
            last = last.next_sibling();
        }
        for (const auto& type : offered) {
            last = first.parent().insert_copy_after(type, last);
        }
        return true;
    });
}

} // namespace paperloom::engine
