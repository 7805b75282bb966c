// The content walk of a paste: relationships, parts, ids, bookmarks, fields and fonts.
#include "engine/paste/PasteSession.h"

#include "engine/package/AsciiText.h"
#include "engine/package/Xml.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

namespace paperloom::engine {
namespace {

bool isMediaExtension(const std::string& name) {
    static const char* const kExts[] = {".png",  ".jpeg", ".jpg", ".gif", ".bmp", ".tif",
                                        ".tiff", ".emf",  ".wmf", ".svg", ".wdp", ".jfif"};
    const std::string lowerName = asciiLower(name);
    for (const char* ext : kExts) {
        const std::size_t n = std::strlen(ext);
        if (lowerName.size() > n && lowerName.compare(lowerName.size() - n, n, ext) == 0) {
            return true;
        }
    }
    return false;
}

std::string kindOf(const std::string& relType) {
    const auto slash = relType.rfind('/');
    return slash == std::string::npos ? relType : relType.substr(slash + 1);
}

} // namespace

ThemeFonts readThemeFonts(const Package& package, const std::string& themePart) {
    ThemeFonts fonts;
    if (themePart.empty() || !package.contains(themePart)) {
        return fonts;
    }
    const auto doc = parseXml(package.text(themePart), themePart);
    pugi::xml_node scheme;
    forEachElement(doc.document_element(), [&](pugi::xml_node element) {
        const auto name = localName(element.name());
        if (name == "fontScheme") {
            scheme = element;
            return false;
        }
        if (name == "clrScheme") {
            pugi::xml_document scratch;
            auto copy = scratch.append_copy(element);
            copy.remove_attribute("name");
            fonts.colors = serializeNode(copy);
            return false;
        }
        return true;
    });
    if (!scheme) {
        return fonts;
    }
    for (auto group : scheme.children()) {
        const auto name = localName(group.name());
        std::string* slots = name == "majorFont"   ? fonts.major
                             : name == "minorFont" ? fonts.minor
                                                   : nullptr;
        if (slots == nullptr) {
            continue;
        }
        for (auto font : group.children()) {
            const auto kind = localName(font.name());
            const int slot = kind == "latin" ? 0 : kind == "ea" ? 1 : kind == "cs" ? 2 : -1;
            if (slot >= 0) {
                slots[slot] = font.attribute("typeface").value();
            }
        }
    }
    return fonts;
}

PasteSession::PasteSession(const Package& sourcePackage, std::string main, DocumentModel& doc)
    : source(sourcePackage), sourceMain(std::move(main)), target(doc) {
    sourceTypes = ContentTypes::parse(source.text("[Content_Types].xml"));
    sourceDoc = parsePart(source, sourceMain);
    const auto root = sourceDoc.document_element();
    if (localName(root.name()) != "document" || !root.child("w:body") ||
        prefixFor(root, ns::W) != "w") {
        throw PackageError("the document is damaged (its main part has no body)", sourceMain);
    }
}

const pugi::xml_document& PasteSession::sourceSettings() {
    if (!m_sourceSettingsRead) {
        m_sourceSettingsRead = true;
        const std::string name = sourcePartOfKind("settings");
        if (!name.empty()) {
            try {
                m_sourceSettings = parseXml(source.text(name), name);
            } catch (const PackageError&) {
                m_sourceSettings.reset();
            }
        }
    }
    return m_sourceSettings;
}

const pugi::xml_document& PasteSession::sourceStyles() {
    if (!m_sourceStylesRead) {
        m_sourceStylesRead = true;
        const std::string name = sourcePartOfKind("styles");
        if (!name.empty()) {
            m_sourceStyles = parseXml(source.text(name), name);
        }
    }
    return m_sourceStyles;
}

const Relationships& PasteSession::sourceRels(const std::string& partName) {
    auto it = m_sourceRels.find(partName);
    if (it == m_sourceRels.end()) {
        const std::string name = relsPartName(partName);
        Relationships rels =
            source.contains(name) ? Relationships::parse(source.text(name), name) : Relationships();
        it = m_sourceRels.emplace(partName, std::move(rels)).first;
    }
    return it->second;
}

std::string PasteSession::sourcePartOfKind(const std::string& kind) {
    const Relationship* rel = sourceRels(sourceMain).firstOfType(kind);
    if (rel == nullptr || rel->external) {
        return {};
    }
    try {
        const std::string name = resolvePartName(sourceMain, rel->target);
        return source.contains(name) ? name : std::string();
    } catch (const PackageError&) {
        return {};
    }
}

std::string PasteSession::mapRelationship(const std::string& sourcePart, const std::string& relId,
                                          const std::string& targetPart) {
    if (relId.empty()) {
        return relId; // names nothing, here as there
    }
    Relationships& targetRels = target.relsOf(targetPart);
    target.dirtyRels.insert(targetPart);
    const Relationship* rel = sourceRels(sourcePart).byId(relId);
    if (rel == nullptr) {
        return targetRels.unusedId(); // dangling in the source, dangling here, never misdirected
    }
    const bool hyperlink = kindOf(rel->type) == "hyperlink";
    if (rel->external) {
        return targetRels.add(rel->type, hyperlink ? linkAddress(rel->target) : rel->target, true,
                              true);
    }
    std::string sourceTarget;
    try {
        sourceTarget = resolvePartName(sourcePart, rel->target);
    } catch (const PackageError&) {
        sourceTarget.clear();
    }
    if (sourceTarget.empty() || !source.contains(sourceTarget)) {
        // Links into the document itself ("#bookmark") are sometimes written as part names;
        // readers follow them as addresses, which is what they become here.
        return hyperlink ? targetRels.add(rel->type, linkAddress(rel->target), true, true)
                         : targetRels.unusedId();
    }
    if (kindOf(rel->type) == "diagramData") {
        m_diagramOwners.emplace(sourceTarget, PartOwner{sourcePart, targetPart});
    }
    const std::string copied = ensureCopied(sourceTarget, rel->type);
    return targetRels.add(rel->type, relativeTarget(targetPart, copied), false, true);
}

std::string PasteSession::linkAddress(const std::string& address) const {
    if (address.size() < 2 || address.front() != '#') {
        return address;
    }
    const auto it = bookmarkNames.find(address.substr(1));
    return it == bookmarkNames.end() ? address : '#' + it->second;
}

std::string PasteSession::ensureCopied(const std::string& sourcePart, const std::string& relType) {
    const auto known = m_copied.find(sourcePart);
    if (known != m_copied.end()) {
        return known->second;
    }
    const PartData* data = source.find(sourcePart);
    const std::string kind = kindOf(relType);
    const bool media = kind == "image" ||
                       (isMediaExtension(sourcePart) && !source.contains(relsPartName(sourcePart)));
    std::string name;
    if (media) {
        const std::uint64_t key = (static_cast<std::uint64_t>(data->crc()) << 32) ^ data->size();
        const auto range = target.mediaByContent.equal_range(key);
        for (auto it = range.first; it != range.second; ++it) {
            const PartData* existing = target.package.find(it->second);
            if (existing != nullptr && existing->sameContent(*data)) {
                name = it->second;
                break;
            }
        }
        if (name.empty()) {
            name = target.uniquePartName(sourcePart);
            target.putPart(name, source.parts.at(sourcePart));
            target.rememberMedia(key, name);
        }
    } else {
        name = target.uniquePartName(sourcePart);
        m_pending.emplace_back(sourcePart, relType);
    }
    m_copied.emplace(sourcePart, name);
    const std::string type = sourceTypes.typeOf(sourcePart);
    if (!type.empty() && target.contentTypes.typeOf(name) != type) {
        const auto dot = name.rfind('.');
        if (media && dot != std::string::npos &&
            target.contentTypes.typeOf("x" + name.substr(dot)).empty()) {
            target.contentTypes.setDefault(name.substr(dot + 1), type);
        } else {
            target.contentTypes.setOverride(name, type);
        }
    }
    return name;
}

void PasteSession::drainPendingParts() {
    while (!m_pending.empty()) {
        const auto [sourcePart, relType] = m_pending.front();
        m_pending.pop_front();
        const std::string name = m_copied.at(sourcePart);
        const std::string kind = kindOf(relType);
        if (kind == "header" || kind == "footer") {
            auto doc = parseXml(source.text(sourcePart), sourcePart);
            remap(doc.document_element(), doc.document_element(), sourcePart, name);
            target.putPart(name, PartData::fromText(serializeDocument(doc)));
            target.hasHeaders = true;
            continue;
        }
        PartDataPtr rewritten = rewrittenCopy(sourcePart, kind);
        target.putPart(name, rewritten ? std::move(rewritten) : source.parts.at(sourcePart));
        const Relationships& rels = sourceRels(sourcePart);
        if (rels.empty()) {
            continue;
        }
        Relationships copy;
        for (const auto& rel : rels.all()) {
            Relationship out = rel;
            if (!rel.external) {
                try {
                    const std::string resolved = resolvePartName(sourcePart, rel.target);
                    if (source.contains(resolved)) {
                        out.target = relativeTarget(name, ensureCopied(resolved, rel.type));
                    }
                } catch (const PackageError&) {
                    // a target outside the package stays as written: it resolves to nothing
                }
            }
            copy.addWithId(out);
        }
        target.putPart(relsPartName(name), PartData::fromPieces(copy.deflatedParts()));
    }
}

std::int64_t PasteSession::annotationId(const std::string& kind, const std::string& sourceId) {
    const std::string key = kind + ':' + sourceId;
    const auto it = annotationIds.find(key);
    if (it != annotationIds.end()) {
        return it->second;
    }
    const std::int64_t id = ++target.ids.maxAnnotationId;
    annotationIds.emplace(key, id);
    return id;
}

std::string PasteSession::renameBookmark(const std::string& name) {
    const auto it = bookmarkNames.find(name);
    if (it != bookmarkNames.end()) {
        return it->second;
    }
    std::string result = freshBookmarkName(name);
    bookmarkNames.emplace(name, result);
    return result;
}

std::string PasteSession::freshBookmarkName(const std::string& name) {
    std::string result = name;
    if (!target.ids.bookmarkNames.claim(name)) {
        for (unsigned n = 2;; ++n) {
            const std::string suffix = "_" + std::to_string(n);
            const std::string base =
                name.size() + suffix.size() > 40 ? name.substr(0, 40 - suffix.size()) : name;
            std::string candidate = base + suffix;
            if (target.ids.bookmarkNames.claim(candidate)) {
                result = std::move(candidate);
                break;
            }
        }
    }
    return result;
}

void PasteSession::collectBookmarks(const pugi::xml_node& node) {
    forEachElement(node, [this](pugi::xml_node element) {
        if (std::strcmp(element.name(), "w:bookmarkStart") == 0) {
            renameBookmark(element.attribute("w:name").value());
        }
        return true;
    });
}

void PasteSession::renameFieldTargets(pugi::xml_node holder, bool isAttribute) {
    const std::string instr =
        isAttribute ? holder.attribute("w:instr").value() : holder.text().get();
    std::istringstream words(instr);
    std::string word;
    std::string out;
    bool changed = false;
    // A complex field's instruction may be split over several runs: only the first word of
    // the field names it, the rest (bookmarks among them) may start a later run.
    bool first = isAttribute || m_fieldNameDue;
    std::size_t pos = 0;
    while (words >> word) {
        const std::size_t at = instr.find(word, pos);
        out += instr.substr(pos, at - pos);
        pos = at + word.size();
        std::string bare = word;
        const bool quoted = bare.size() >= 2 && bare.front() == '"' && bare.back() == '"';
        if (quoted) {
            bare = bare.substr(1, bare.size() - 2);
        }
        const auto it = bookmarkNames.find(bare);
        if (!first && it != bookmarkNames.end() && it->second != bare) {
            out += quoted ? '"' + it->second + '"' : it->second;
            changed = true;
        } else {
            out += word;
        }
        first = false;
        m_fieldNameDue = false;
    }
    out += instr.substr(pos);
    if (!changed) {
        return;
    }
    if (isAttribute) {
        holder.attribute("w:instr").set_value(out.c_str());
    } else {
        holder.text().set(out.c_str());
    }
}

void PasteSession::resolveFonts(pugi::xml_node rFonts) {
    static const struct {
        const char* themeAttr;
        const char* nameAttr;
    } kSlots[] = {{"w:asciiTheme", "w:ascii"},
                  {"w:hAnsiTheme", "w:hAnsi"},
                  {"w:eastAsiaTheme", "w:eastAsia"},
                  {"w:cstheme", "w:cs"}};
    for (const auto& slot : kSlots) {
        const auto theme = rFonts.attribute(slot.themeAttr);
        if (!theme) {
            continue;
        }
        const std::string value = theme.value();
        const std::string* group = value.rfind("major", 0) == 0   ? sourceFonts.major
                                   : value.rfind("minor", 0) == 0 ? sourceFonts.minor
                                                                  : nullptr;
        if (group == nullptr) {
            continue;
        }
        const int index = value.find("EastAsia") != std::string::npos ? 1
                          : value.find("Bidi") != std::string::npos   ? 2
                                                                      : 0;
        if (group[index].empty()) {
            continue;
        }
        rFonts.remove_attribute(theme);
        auto name = rFonts.attribute(slot.nameAttr);
        if (!name) {
            name = rFonts.append_attribute(slot.nameAttr);
        }
        name.set_value(group[index].c_str());
    }
}

void PasteSession::resolveColors(pugi::xml_node element) const {
    if (!element.attribute("w:val") && !element.attribute("w:fill") &&
        !element.attribute("w:color")) {
        return; // no stored value to fall back on: the reference stays
    }
    for (auto attr = element.first_attribute(); attr;) {
        const auto next = attr.next_attribute();
        if (std::strncmp(attr.name(), "w:theme", 7) == 0) {
            element.remove_attribute(attr);
        }
        attr = next;
    }
}

void PasteSession::declareMissingNamespaces(
    pugi::xml_node element, const pugi::xml_node& sourceRoot,
    const std::vector<std::pair<std::string, std::string>>& targetNamespaces) {
    // Only prefixes the element actually uses need a declaration of their own.
    std::set<std::string, std::less<>> used;
    forEachElement(element, [&](pugi::xml_node inner) {
        used.emplace(prefixOf(inner.name()));
        for (auto attr = inner.first_attribute(); attr; attr = attr.next_attribute()) {
            used.emplace(prefixOf(attr.name()));
            if (std::strcmp(attr.name(), "Requires") == 0) {
                // An alternative's required prefixes must be declared where it is read.
                std::istringstream required(attr.value());
                for (std::string prefix; required >> prefix;) {
                    used.insert(prefix);
                }
            }
        }
        return true;
    });
    auto boundInTarget = [&](std::string_view prefix, std::string_view uri) {
        for (const auto& [p, u] : targetNamespaces) {
            if (p == prefix && (uri.empty() || u == uri)) {
                return true;
            }
        }
        return false;
    };
    for (auto attr = sourceRoot.first_attribute(); attr; attr = attr.next_attribute()) {
        const std::string_view name = attr.name();
        if (name.rfind("xmlns:", 0) != 0) {
            continue;
        }
        const auto prefix = name.substr(6);
        if (used.count(prefix) != 0 && !boundInTarget(prefix, attr.value()) &&
            !element.attribute(attr.name())) {
            element.append_attribute(attr.name()) = attr.value();
        }
    }
    const auto sourceIgnorable = sourceRoot.attribute("mc:Ignorable");
    if (sourceIgnorable && !element.attribute("mc:Ignorable")) {
        std::istringstream words(sourceIgnorable.value());
        std::string prefix;
        std::string ignorable;
        while (words >> prefix) {
            if (used.count(prefix) != 0 && !boundInTarget(prefix, {})) {
                ignorable += (ignorable.empty() ? "" : " ") + prefix;
            }
        }
        if (!ignorable.empty()) {
            if (!boundInTarget("mc", {}) && !element.attribute("xmlns:mc")) {
                element.append_attribute("xmlns:mc") =
                    "http://schemas.openxmlformats.org/markup-compatibility/2006";
            }
            element.append_attribute("mc:Ignorable") = ignorable.c_str();
        }
    }
}

} // namespace paperloom::engine
