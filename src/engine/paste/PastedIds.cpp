// Ids of pasted objects that readers require unique: content controls and VML shapes.
#include "engine/paste/PasteSession.h"

#include "engine/package/Xml.h"

#include <cctype>
#include <cstring>

namespace paperloom::engine {
namespace {

/// A variant of id that used does not hold yet: a trailing number counts up ("_x0000_s1026"
/// -> "_x0000_s1027", which keeps the form readers expect of shape ids), other ids get one.
std::string freshShapeId(const std::string& id, const ClaimSet<std::string>& used) {
    std::size_t digits = id.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(id[digits - 1])) != 0) {
        --digits;
    }
    const std::string stem = id.substr(0, digits);
    // Ids in the thousands keep their width; anything longer is not worth parsing.
    unsigned long long number = 0;
    if (digits < id.size() && id.size() - digits <= 9) {
        number = std::stoull(id.substr(digits));
    }
    const std::string separator = digits == id.size() ? " " : "";
    for (;;) {
        std::string candidate = stem + separator + std::to_string(++number);
        if (!used.contains(candidate)) {
            return candidate;
        }
    }
}

} // namespace

void PasteSession::remapContentControlId(pugi::xml_node element) {
    auto val = element.attribute("w:val");
    if (!val) {
        return;
    }
    auto& used = target.ids.contentControlIds;
    std::int64_t id = val.as_llong();
    if (used.claim(id)) {
        return;
    }
    // w:id is a signed 32-bit number; Word writes random ones, so counting up finds a gap soon.
    do {
        id = id >= 0x7FFFFFFF ? 1 : id + 1;
    } while (!used.claim(id));
    val.set_value(id);
}

void PasteSession::remapShapeIds(pugi::xml_node element, std::string_view local) {
    auto renamed = [](std::unordered_map<std::string, std::string>& map,
                      ClaimSet<std::string>& used, const std::string& id) {
        const auto known = map.find(id);
        if (known != map.end()) {
            return known->second; // the same shape in Choice and Fallback, or a repeat
        }
        std::string result = used.claim(id) ? id : freshShapeId(id, used);
        used.claim(result);
        map.emplace(id, result);
        return result;
    };
    if (local == "OLEObject" || local == "control") {
        // These name the VML shape that shows them, which came before them.
        auto shape = element.attribute(local == "control" ? "w:shapeid" : "ShapeID");
        const auto it = shape ? m_shapeIds.find(shape.value()) : m_shapeIds.end();
        if (it != m_shapeIds.end()) {
            shape.set_value(it->second.c_str());
        }
        return;
    }
    if (local == "shapetype") {
        return; // shape types are shared definitions that equal ids describe equally
    }
    if (auto id = element.attribute("id"); id && *id.value() != '\0') {
        id.set_value(renamed(m_shapeIds, target.ids.shapeIds, id.value()).c_str());
    }
    const std::string_view office = m_scope != nullptr ? m_scope->office() : std::string_view();
    if (office.empty()) {
        return;
    }
    const std::string spidName = std::string(office) + ":spid";
    if (auto spid = element.attribute(spidName.c_str()); spid && *spid.value() != '\0') {
        spid.set_value(renamed(m_shapeSpids, target.ids.shapeSpids, spid.value()).c_str());
    }
}

} // namespace paperloom::engine
