// The namespace prefixes a paste must recognise, as bound at the element a walk has reached.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace paperloom::engine {

/// Which prefixes name relationship ids, Office attributes and VML shapes where the content
/// walk is. Writers declare these namespaces on the part's document element, on an element
/// deep inside (a hyperlink of a drawing may carry its own xmlns:r), or under other prefixes;
/// each declaration holds for its element and what is inside it.
class PrefixScope {
public:
    /// The bindings of a source part's document element.
    explicit PrefixScope(const pugi::xml_node& sourceRoot);

    /// Moves the scope to element, the next element of a walk in document order: bindings of
    /// elements the walk has left end, element's own declarations begin. Checking what the walk
    /// has left costs a walk up the tree, paid only inside elements that declare a prefix.
    void enter(const pugi::xml_node& element);

    /// True when prefix is bound to the relationships namespace here.
    [[nodiscard]] bool isRelationship(std::string_view prefix) const;
    /// The prefix bound to the Office namespace (o:relid, o:spid) here, or "".
    [[nodiscard]] std::string_view office() const { return prefixOf(Kind::Office); }
    /// The prefix bound to the VML namespace here, or "".
    [[nodiscard]] std::string_view vml() const { return prefixOf(Kind::Vml); }

private:
    enum class Kind { Relationships, Office, Vml, Other };
    struct Binding {
        std::string prefix;
        Kind kind;
        pugi::xml_node owner; // empty for the document element's bindings, which never end
    };
    [[nodiscard]] const Binding* find(std::string_view prefix) const;
    [[nodiscard]] std::string_view prefixOf(Kind kind) const;
    void declare(const pugi::xml_node& element, const pugi::xml_node& owner);

    pugi::xml_node m_root;
    std::vector<Binding> m_bindings; // innermost last
};

} // namespace paperloom::engine
