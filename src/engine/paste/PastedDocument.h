// The document being pasted, as the mergers read it: its package, main part and the parts
// several of them consult, each parsed once per paste.
#pragma once

#include "engine/package/Package.h"
#include "engine/package/Relationships.h"

#include <pugixml.hpp>

#include <string>
#include <unordered_map>

namespace paperloom::engine {

/// A view of the pasted package shared by every merger of one paste. It parses the parts
/// several steps need on first use and keeps them for the rest of the paste. The package is
/// never changed; the parsed main part is the paste's working copy (see mainDocument()).
class PastedDocument {
public:
    /// Parses the main part; throws PackageError when it is no WordprocessingML body with the
    /// prefix w.
    PastedDocument(const Package& package, std::string mainPart);

    /// The pasted package.
    [[nodiscard]] const Package& package() const { return m_package; }
    /// The name of its main part.
    [[nodiscard]] const std::string& mainPart() const { return m_mainPart; }
    /// Its content types.
    [[nodiscard]] const ContentTypes& contentTypes() const { return m_contentTypes; }
    /// The main part, parsed; the body step takes its blocks out as it pastes them.
    [[nodiscard]] pugi::xml_document& mainDocument() { return m_main; }

    /// The relationships of a part (empty when it has none).
    const Relationships& relsOf(const std::string& partName);
    /// The name of the part a main-part relationship of this kind points to, or "".
    [[nodiscard]] std::string partOfKind(const std::string& kind);
    /// The settings, parsed once; empty when absent or unreadable (such a document counts as
    /// one with the default settings).
    const pugi::xml_document& settings();
    /// The styles, parsed once for the steps that only read them; empty when absent. A
    /// malformed part throws, as it fails the paste.
    const pugi::xml_document& styles();

private:
    const Package& m_package;
    const std::string m_mainPart;
    ContentTypes m_contentTypes;
    pugi::xml_document m_main;
    std::unordered_map<std::string, Relationships> m_rels;
    pugi::xml_document m_settings;
    pugi::xml_document m_styles;
    bool m_settingsRead = false;
    bool m_stylesRead = false;
};

} // namespace paperloom::engine
