// The styles of one styles part by id, and what a style inherits along its basedOn chain.
#include "engine/model/StyleIndex.h"

#include "engine/package/Xml.h"

namespace paperloom::engine {

StyleIndex::StyleIndex(const pugi::xml_node& root) {
    for (auto style : root.children("w:style")) {
        const std::string id = style.attribute("w:styleId").value();
        m_byId.emplace(id, style);
        if (isOnValue(style.attribute("w:default"))) {
            const std::string type = style.attribute("w:type").value();
            if (type == "paragraph") {
                m_defaultParagraph = id;
            } else if (type == "table") {
                m_defaultTable = id;
            }
        }
    }
}

pugi::xml_node StyleIndex::property(std::string id, const char* container, const char* name) const {
    // Bounded, so a basedOn cycle ends.
    for (int depth = 0; depth < 32 && !id.empty(); ++depth) {
        const auto it = m_byId.find(id);
        if (it == m_byId.end()) {
            break;
        }
        if (auto found = it->second.child(container).child(name)) {
            return found;
        }
        id = it->second.child("w:basedOn").attribute("w:val").value();
    }
    return {};
}

pugi::xml_attribute StyleIndex::attribute(std::string id, const char* container, const char* name,
                                          const char* attribute) const {
    for (int depth = 0; depth < 32 && !id.empty(); ++depth) {
        const auto it = m_byId.find(id);
        if (it == m_byId.end()) {
            break;
        }
        if (auto found = it->second.child(container).child(name).attribute(attribute)) {
            return found;
        }
        id = it->second.child("w:basedOn").attribute("w:val").value();
    }
    return {};
}

std::vector<pugi::xml_node> StyleIndex::chain(std::string id) const {
    std::vector<pugi::xml_node> out;
    for (int depth = 0; depth < 32 && !id.empty(); ++depth) {
        const auto it = m_byId.find(id);
        if (it == m_byId.end()) {
            break;
        }
        out.push_back(it->second);
        id = it->second.child("w:basedOn").attribute("w:val").value();
    }
    return out;
}

} // namespace paperloom::engine
