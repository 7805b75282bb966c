// The pasted document's parts, read on first use.
#include "engine/paste/PastedDocument.h"

#include "engine/package/Xml.h"

namespace paperloom::engine {

PastedDocument::PastedDocument(const Package& package, std::string mainPart)
    : m_package(package), m_mainPart(std::move(mainPart)) {
    m_contentTypes = ContentTypes::parse(m_package.text("[Content_Types].xml"));
    m_main = parsePart(m_package, m_mainPart);
    const auto root = m_main.document_element();
    if (localName(root.name()) != "document" || !root.child("w:body") ||
        prefixFor(root, ns::W) != "w") {
        throw PackageError("the document is damaged (its main part has no body)", m_mainPart);
    }
}

const pugi::xml_document& PastedDocument::settings() {
    if (!m_settingsRead) {
        m_settingsRead = true;
        const std::string name = partOfKind("settings");
        if (!name.empty()) {
            try {
                m_settings = parseXml(m_package.text(name), name);
            } catch (const PackageError&) {
                m_settings.reset();
            }
        }
    }
    return m_settings;
}

const pugi::xml_document& PastedDocument::styles() {
    if (!m_stylesRead) {
        m_stylesRead = true;
        const std::string name = partOfKind("styles");
        if (!name.empty()) {
            m_styles = parseXml(m_package.text(name), name);
        }
    }
    return m_styles;
}

const Relationships& PastedDocument::relsOf(const std::string& partName) {
    auto it = m_rels.find(partName);
    if (it == m_rels.end()) {
        const std::string name = relsPartName(partName);
        Relationships rels = m_package.contains(name)
                                 ? Relationships::parse(m_package.text(name), name)
                                 : Relationships();
        it = m_rels.emplace(partName, std::move(rels)).first;
    }
    return it->second;
}

std::string PastedDocument::partOfKind(const std::string& kind) {
    const Relationship* rel = relsOf(m_mainPart).firstOfType(kind);
    if (rel == nullptr || rel->external) {
        return {};
    }
    try {
        const std::string name = resolvePartName(m_mainPart, rel->target);
        return m_package.contains(name) ? name : std::string();
    } catch (const PackageError&) {
        return {};
    }
}

} // namespace paperloom::engine
