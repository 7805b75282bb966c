// The styles of one styles part by id, and what a style inherits along its basedOn chain.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <unordered_map>
#include <vector>

namespace paperloom::engine {

class StyleIndex {
public:
    /// Indexes the w:style children of root (a w:styles element), which must outlive the index.
    explicit StyleIndex(const pugi::xml_node& root);

    /// The first property of this name inside container ("w:pPr", "w:tblPr", ...) along the
    /// basedOn chain of style id; empty when none of them sets it.
    [[nodiscard]] pugi::xml_node property(std::string id, const char* container,
                                          const char* name) const;

    /// The first value of attribute on element name inside container along the basedOn chain of
    /// style id (properties such as w:spacing inherit attribute by attribute); empty when none
    /// of them sets it.
    [[nodiscard]] pugi::xml_attribute attribute(std::string id, const char* container,
                                                const char* name, const char* attribute) const;

    /// The style id and the styles it is based on, id's own first; empty when id names none.
    [[nodiscard]] std::vector<pugi::xml_node> chain(std::string id) const;

    /// The default paragraph and table styles ("" when the part names none).
    [[nodiscard]] const std::string& defaultParagraph() const { return m_defaultParagraph; }
    [[nodiscard]] const std::string& defaultTable() const { return m_defaultTable; }

private:
    std::unordered_map<std::string, pugi::xml_node> m_byId;
    std::string m_defaultParagraph;
    std::string m_defaultTable;
};

} // namespace paperloom::engine
