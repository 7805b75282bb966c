// Parsing and writing relationship parts and content types.
#include "engine/package/Relationships.h"

#include "engine/package/AsciiText.h"
#include "engine/package/Package.h"
#include "engine/package/Xml.h"

#include <algorithm>
#include <cctype>

namespace paperloom::engine {
namespace {

void appendRelationship(GrowingText& out, const Relationship& rel) {
    out.append("<Relationship Id=\"" + xmlEscape(rel.id) + "\" Type=\"" + xmlEscape(rel.type) +
               "\" Target=\"" + xmlEscape(rel.target) + "\"" +
               (rel.external ? " TargetMode=\"External\"/>" : "/>"));
}

} // namespace

Relationships Relationships::parse(std::string_view xml, const std::string& partName) {
    Relationships rels;
    const auto doc = parseXml(xml, partName);
    for (auto node : doc.document_element().children()) {
        if (localName(node.name()) != "Relationship") {
            continue;
        }
        Relationship rel;
        rel.id = node.attribute("Id").value();
        rel.type = node.attribute("Type").value();
        rel.target = node.attribute("Target").value();
        rel.external = std::string_view(node.attribute("TargetMode").value()) == "External";
        if (rel.id.empty() || rels.m_byId.count(rel.id) != 0) {
            continue; // a nameless or repeated id cannot be referred to reliably
        }
        rels.m_byId.emplace(rel.id, rels.m_items.size());
        rels.m_byKey.emplace(rel.type + '\n' + rel.target + (rel.external ? "\nE" : "\nI"), rel.id);
        appendRelationship(rels.m_elements, rel);
        rels.m_items.push_back(std::move(rel));
    }
    return rels;
}

const Relationship* Relationships::byId(const std::string& id) const {
    const auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : &m_items[it->second];
}

const Relationship* Relationships::firstOfType(std::string_view typeSuffix) const {
    for (const auto& rel : m_items) {
        const std::string_view type = rel.type;
        if (type.size() > typeSuffix.size() &&
            type.substr(type.size() - typeSuffix.size()) == typeSuffix &&
            type[type.size() - typeSuffix.size() - 1] == '/') {
            return &rel;
        }
    }
    return nullptr;
}

std::string Relationships::unusedId() {
    std::string id;
    do {
        id = "rId" + std::to_string(m_next++);
    } while (m_byId.count(id) != 0);
    return id;
}

std::string Relationships::add(const std::string& type, const std::string& target, bool external,
                               bool share) {
    const std::string key = type + '\n' + target + (external ? "\nE" : "\nI");
    if (share) {
        const auto it = m_byKey.find(key);
        if (it != m_byKey.end()) {
            return it->second;
        }
    }
    Relationship rel{unusedId(), type, target, external};
    m_byId.emplace(rel.id, m_items.size());
    m_byKey.emplace(key, rel.id);
    appendRelationship(m_elements, rel);
    m_items.push_back(rel);
    return rel.id;
}

void Relationships::addWithId(const Relationship& rel) {
    if (m_byId.count(rel.id) != 0) {
        return;
    }
    m_byId.emplace(rel.id, m_items.size());
    m_byKey.emplace(rel.type + '\n' + rel.target + (rel.external ? "\nE" : "\nI"), rel.id);
    appendRelationship(m_elements, rel);
    m_items.push_back(rel);
}

void Relationships::rollBack(Mark mark) {
    while (m_items.size() > mark.count) {
        const Relationship& rel = m_items.back();
        m_byId.erase(rel.id);
        const auto key =
            m_byKey.find(rel.type + '\n' + rel.target + (rel.external ? "\nE" : "\nI"));
        if (key != m_byKey.end() && key->second == rel.id) {
            m_byKey.erase(key);
        }
        m_items.pop_back();
    }
    m_next = mark.next;
    m_elements = std::move(mark.elements);
}

std::vector<PiecePtr> Relationships::deflatedParts() {
    static const PiecePtr head =
        deflatePiece(std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                                 "<Relationships xmlns=\"") +
                     ns::Rels + "\">");
    static const PiecePtr foot = deflatePiece("</Relationships>");
    std::vector<PiecePtr> out{head};
    const auto& body = m_elements.pieces();
    out.insert(out.end(), body.begin(), body.end());
    out.push_back(foot);
    return out;
}

ContentTypes ContentTypes::parse(std::string_view xml) {
    ContentTypes types;
    const auto doc = parseXml(xml, "[Content_Types].xml");
    for (auto node : doc.document_element().children()) {
        const auto name = localName(node.name());
        if (name == "Default") {
            types.m_defaults[asciiLower(node.attribute("Extension").value())] =
                node.attribute("ContentType").value();
        } else if (name == "Override") {
            std::string part = node.attribute("PartName").value();
            if (!part.empty() && part.front() == '/') {
                part.erase(0, 1);
            }
            types.setOverride(part, node.attribute("ContentType").value());
        }
    }
    return types;
}

std::string ContentTypes::typeOf(const std::string& partName) const {
    const auto it = m_overrideIndex.find(asciiLower(partName));
    if (it != m_overrideIndex.end() && !m_overrides[it->second].type.empty()) {
        return m_overrides[it->second].type;
    }
    const auto dot = partName.rfind('.');
    const auto slash = partName.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    const auto def = m_defaults.find(asciiLower(partName.substr(dot + 1)));
    return def == m_defaults.end() ? std::string() : def->second;
}

void ContentTypes::setDefault(const std::string& extension, const std::string& type) {
    m_defaults[asciiLower(extension)] = type;
    m_headPiece.reset();
    m_changed = true;
}

void ContentTypes::setOverride(const std::string& partName, const std::string& type) {
    m_changed = true;
    const std::string key = asciiLower(partName);
    const auto it = m_overrideIndex.find(key);
    if (it != m_overrideIndex.end()) {
        if (m_undo && it->second < m_undo->count) {
            m_undo->retyped.emplace_back(it->second, m_overrides[it->second].type);
        }
        m_overrides[it->second].type = type;
        m_rebuild = true;
        return;
    }
    m_overrideIndex.emplace(key, m_overrides.size());
    m_overrides.push_back({partName, type});
    if (!m_rebuild) {
        m_overrideText.append("<Override PartName=\"/" + xmlEscape(partName) + "\" ContentType=\"" +
                              xmlEscape(type) + "\"/>");
    }
}

void ContentTypes::removeOverride(const std::string& partName) {
    const auto it = m_overrideIndex.find(asciiLower(partName));
    if (it == m_overrideIndex.end() || m_overrides[it->second].type.empty()) {
        return;
    }
    if (m_undo && it->second < m_undo->count) {
        m_undo->retyped.emplace_back(it->second, m_overrides[it->second].type);
    }
    m_overrides[it->second].type.clear();
    m_rebuild = true;
    m_changed = true;
}

void ContentTypes::mark() {
    m_undo =
        Undo{m_overrides.size(), m_defaults, {}, m_overrideText, m_headPiece, m_rebuild, m_changed};
}

void ContentTypes::rollBack() {
    if (!m_undo) {
        return;
    }
    Undo& undo = *m_undo;
    while (m_overrides.size() > undo.count) {
        m_overrideIndex.erase(asciiLower(m_overrides.back().name));
        m_overrides.pop_back();
    }
    for (auto it = undo.retyped.rbegin(); it != undo.retyped.rend(); ++it) {
        m_overrides[it->first].type = std::move(it->second);
    }
    m_defaults = std::move(undo.defaults);
    m_overrideText = std::move(undo.overrideText);
    m_headPiece = std::move(undo.headPiece);
    m_rebuild = undo.rebuild;
    m_changed = undo.changed;
    m_undo.reset();
}

std::vector<PiecePtr> ContentTypes::deflatedParts() {
    if (!m_headPiece) {
        std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                           "<Types xmlns=\"";
        head += ns::ContentTypes;
        head += "\">";
        for (const auto& [ext, type] : m_defaults) {
            head += "<Default Extension=\"" + xmlEscape(ext) + "\" ContentType=\"" +
                    xmlEscape(type) + "\"/>";
        }
        m_headPiece = deflatePiece(head);
    }
    if (m_rebuild) {
        m_overrideText.clear();
        for (const auto& entry : m_overrides) {
            if (entry.type.empty()) {
                continue;
            }
            m_overrideText.append("<Override PartName=\"/" + xmlEscape(entry.name) +
                                  "\" ContentType=\"" + xmlEscape(entry.type) + "\"/>");
        }
        m_rebuild = false;
    }
    static const PiecePtr foot = deflatePiece("</Types>");
    std::vector<PiecePtr> out{m_headPiece};
    const auto& body = m_overrideText.pieces();
    out.insert(out.end(), body.begin(), body.end());
    out.push_back(foot);
    m_changed = false;
    return out;
}

} // namespace paperloom::engine
