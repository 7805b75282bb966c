// Tracking the prefixes of the relationships, Office and VML namespaces through a walk.
#include "engine/package/PrefixScope.h"

#include "engine/package/Xml.h"

#include <cstring>

namespace paperloom::engine {
namespace {

constexpr const char* kVml = "urn:schemas-microsoft-com:vml";

/// True when ancestor is element or one of its ancestors.
bool contains(const pugi::xml_node& ancestor, pugi::xml_node element) {
    for (; element; element = element.parent()) {
        if (element == ancestor) {
            return true;
        }
    }
    return false;
}

} // namespace

PrefixScope::PrefixScope(const pugi::xml_node& sourceRoot) : m_root(sourceRoot) {
    declare(sourceRoot, {});
    if (prefixOf(Kind::Relationships).empty()) {
        // Parts that use r: without declaring it mean the relationships namespace by it.
        m_bindings.insert(m_bindings.begin(), Binding{"r", Kind::Relationships, {}});
    }
}

void PrefixScope::enter(const pugi::xml_node& element) {
    while (!m_bindings.empty() && m_bindings.back().owner &&
           !contains(m_bindings.back().owner, element)) {
        m_bindings.pop_back();
    }
    if (element != m_root) {
        declare(element, element);
    }
}

void PrefixScope::declare(const pugi::xml_node& element, const pugi::xml_node& owner) {
    for (auto attr = element.first_attribute(); attr; attr = attr.next_attribute()) {
        const char* name = attr.name();
        if (std::strncmp(name, "xmlns:", 6) != 0) {
            continue;
        }
        const char* uri = attr.value();
        const Kind kind = std::strcmp(uri, ns::R) == 0        ? Kind::Relationships
                          : std::strcmp(uri, ns::Office) == 0 ? Kind::Office
                          : std::strcmp(uri, kVml) == 0       ? Kind::Vml
                                                              : Kind::Other;
        const std::string_view prefix = name + 6;
        const Binding* current = find(prefix);
        // Only what changes the meaning of a prefix we look for is worth a binding.
        if (kind != Kind::Other || (current != nullptr && current->kind != Kind::Other)) {
            m_bindings.push_back({std::string(prefix), kind, owner});
        }
    }
}

const PrefixScope::Binding* PrefixScope::find(std::string_view prefix) const {
    for (auto it = m_bindings.rbegin(); it != m_bindings.rend(); ++it) {
        if (it->prefix == prefix) {
            return &*it;
        }
    }
    return nullptr;
}

bool PrefixScope::isRelationship(std::string_view prefix) const {
    const Binding* binding = prefix.empty() ? nullptr : find(prefix);
    return binding != nullptr && binding->kind == Kind::Relationships;
}

std::string_view PrefixScope::prefixOf(Kind kind) const {
    for (auto it = m_bindings.rbegin(); it != m_bindings.rend(); ++it) {
        if (it->kind == kind && find(it->prefix) == &*it) {
            return it->prefix;
        }
    }
    return {};
}

} // namespace paperloom::engine
