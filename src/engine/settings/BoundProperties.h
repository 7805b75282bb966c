// Content controls bound to a package's core or extended properties, kept showing that
// package's values.
#pragma once

#include "engine/package/Package.h"

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace paperloom::engine {

/// The core and extended properties of one package (title, subject, author, company, ...), as
/// the content controls bound to them (w:dataBinding naming their built-in store ids) read them.
///
/// Readers fill such a control from the properties of the package it is in, and a joined
/// document's properties are not those of the documents joined into it. So each such control
/// gets the value of its own package written into its content, as readers show it there, and
/// loses its binding: the properties of the joined document no longer change it.
class BoundProperties {
public:
    /// Reads the properties parts the package relationships name; parts that are missing or do
    /// not parse count as properties without values.
    explicit BoundProperties(const Package& package);

    /// True when text (a part's XML) may hold a binding to the properties: a cheap test that
    /// spares parsing parts without one.
    [[nodiscard]] static bool mayHoldBindings(std::string_view text);

    /// States the bound controls under root (a part's document element): a plain text control
    /// whose property has a value shows it (a line break for each line end, as LibreOffice
    /// shows them), no longer as its placeholder; a property without a value leaves the content
    /// (the placeholder) as it is. Bindings whose path is more than a chain of elements are left
    /// alone. Returns true when it changed anything.
    bool state(pugi::xml_node root) const;

    /// True when a binding (w:dataBinding) names the core or extended properties.
    [[nodiscard]] static bool namesProperties(const pugi::xml_node& binding);

    /// The text the path of a binding (w:dataBinding) names in data (a parsed part): empty when
    /// no element is there, nullopt for a path that is more than a chain of elements.
    [[nodiscard]] static std::optional<std::string> valueIn(const pugi::xml_node& data,
                                                            const pugi::xml_node& binding);

private:
    /// The value a binding names: empty for a property without one, nullopt when the binding
    /// is not to these properties or its path cannot be followed.
    [[nodiscard]] std::optional<std::string> valueOf(const pugi::xml_node& binding) const;

    pugi::xml_document m_core;
    pugi::xml_document m_extended;
};

} // namespace paperloom::engine
