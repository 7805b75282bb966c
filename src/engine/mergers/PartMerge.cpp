// The parts pasted content refers to, copied into the joined document with their
// relationships; media the document holds already is shared.
#include "engine/mergers/PartMerge.h"

#include "engine/mergers/FontMerge.h"
#include "engine/mergers/PastedIds.h"
#include "engine/package/AsciiText.h"
#include "engine/package/Xml.h"
#include "engine/paste/PartRewrite.h"
#include "engine/paste/PasteRemap.h"
#include "engine/settings/LayoutMode.h"
#include "engine/settings/TableDefaults.h"

#include <cstring>

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

PartMerger::PartMerger(PastedDocument& source, DocumentModel& target, const PastedIds& ids,
                       const FontMerger& fonts)
    : m_source(source), m_target(target), m_ids(ids), m_fonts(fonts) {}

std::string PartMerger::mapRelationship(const std::string& sourcePart, const std::string& relId,
                                        const std::string& targetPart) {
    if (relId.empty()) {
        return relId; // names nothing, here as there
    }
    Relationships& targetRels = m_target.relsForEdit(targetPart);
    const Relationship* rel = m_source.relsOf(sourcePart).byId(relId);
    if (rel == nullptr) {
        return targetRels.unusedId(); // dangling in the source, dangling here, never misdirected
    }
    const bool hyperlink = kindOf(rel->type) == "hyperlink";
    if (rel->external) {
        return targetRels.add(rel->type, hyperlink ? m_ids.linkAddress(rel->target) : rel->target,
                              true, true);
    }
    std::string sourceTarget;
    try {
        sourceTarget = resolvePartName(sourcePart, rel->target);
    } catch (const PackageError&) {
        sourceTarget.clear();
    }
    if (sourceTarget.empty() || !m_source.package().contains(sourceTarget)) {
        // Links into the document itself ("#bookmark") are sometimes written as part names;
        // readers follow them as addresses, which is what they become here.
        return hyperlink ? targetRels.add(rel->type, m_ids.linkAddress(rel->target), true, true)
                         : targetRels.unusedId();
    }
    if (kindOf(rel->type) == "diagramData") {
        m_diagramOwners.emplace(sourceTarget, PartOwner{sourcePart, targetPart});
    }
    const std::string copied = ensureCopied(sourceTarget, rel->type);
    return targetRels.add(rel->type, relativeTarget(targetPart, copied), false, true);
}

std::string PartMerger::ensureCopied(const std::string& sourcePart, const std::string& relType) {
    const auto known = m_copied.find(sourcePart);
    if (known != m_copied.end()) {
        return known->second;
    }
    const PartData* data = m_source.package().find(sourcePart);
    const std::string kind = kindOf(relType);
    const bool media = kind == "image" || (isMediaExtension(sourcePart) &&
                                           !m_source.package().contains(relsPartName(sourcePart)));
    std::string name;
    if (media) {
        name = m_target.sameMedia(*data);
        if (name.empty()) {
            name = m_target.uniquePartName(sourcePart);
            m_target.putPart(name, m_source.package().parts.at(sourcePart));
            m_target.rememberMedia(*data, name);
        }
    } else {
        name = m_target.uniquePartName(sourcePart);
        m_pending.emplace_back(sourcePart, relType);
    }
    m_copied.emplace(sourcePart, name);
    const std::string type = m_source.contentTypes().typeOf(sourcePart);
    if (!type.empty() && m_target.contentTypes.typeOf(name) != type) {
        const auto dot = name.rfind('.');
        if (media && dot != std::string::npos &&
            m_target.contentTypes.typeOf("x" + name.substr(dot)).empty()) {
            m_target.contentTypes.setDefault(name.substr(dot + 1), type);
        } else {
            m_target.contentTypes.setOverride(name, type);
        }
    }
    return name;
}

void PartMerger::drainPending(PasteRemap& remap) {
    while (!m_pending.empty()) {
        const auto [sourcePart, relType] = m_pending.front();
        m_pending.pop_front();
        const std::string name = m_copied.at(sourcePart);
        const std::string kind = kindOf(relType);
        if (kind == "header" || kind == "footer") {
            auto doc = parseXml(m_source.package().text(sourcePart), sourcePart);
            // Tables in headers and footers are laid out as those of the body.
            keepTableStylesOverDefaults(m_source, m_target, doc.document_element());
            keepTablePlacesAcrossLayoutModes(m_source, m_target, doc.document_element());
            remap.remap(doc.document_element(), doc.document_element(), sourcePart, name);
            m_target.putPart(name, PartData::fromText(serializeDocument(doc)));
            continue;
        }
        PartDataPtr rewritten = rewrittenCopy(sourcePart, kind);
        m_target.putPart(name, rewritten ? std::move(rewritten)
                                         : m_source.package().parts.at(sourcePart));
        const Relationships& rels = m_source.relsOf(sourcePart);
        if (rels.empty()) {
            continue;
        }
        Relationships copy;
        for (const auto& rel : rels.all()) {
            Relationship out = rel;
            if (!rel.external) {
                try {
                    const std::string resolved = resolvePartName(sourcePart, rel.target);
                    if (m_source.package().contains(resolved)) {
                        out.target = relativeTarget(name, ensureCopied(resolved, rel.type));
                    }
                } catch (const PackageError&) {
                    // a target outside the package stays as written: it resolves to nothing
                }
            }
            copy.addWithId(out);
        }
        m_target.putPart(relsPartName(name), PartData::fromPieces(copy.deflatedParts()));
    }
}

PartDataPtr PartMerger::rewrittenCopy(const std::string& sourcePart, const std::string& kind) {
    const Package& source = m_source.package();
    try {
        if (kind == "customXmlProps") {
            const auto it = m_propsItemIds.find(sourcePart);
            return it == m_propsItemIds.end() ? nullptr
                                              : withItemId(source, sourcePart, it->second);
        }
        if (kind == "chart") {
            // Same fonts: the chart's theme references resolve alike in the target. (Where
            // the fonts differ too, its theme colours are left to the joined document's theme.)
            if (m_fonts.themeFontsDiffer()) {
                return withThemeFontsStated(source, sourcePart, m_fonts.sourceFonts());
            }
            return m_fonts.resolvesColors()
                       ? withSchemeColorsStated(source, sourcePart, m_fonts.sourceFonts())
                       : nullptr;
        }
        if (kind == "diagramDrawing") {
            return m_fonts.resolvesColors()
                       ? withSchemeColorsStated(source, sourcePart, m_fonts.sourceFonts())
                       : nullptr;
        }
        if (kind == "diagramData") {
            const auto owner = m_diagramOwners.find(sourcePart);
            if (owner == m_diagramOwners.end()) {
                return nullptr;
            }
            const PartOwner shownBy = owner->second;
            return withDrawingRenamed(source, sourcePart, [&](const std::string& relId) {
                return mapRelationship(shownBy.sourcePart, relId, shownBy.targetPart);
            });
        }
    } catch (const PackageError&) {
        // a part we cannot read is copied as it is, as any other part
    }
    return nullptr;
}

void PartMerger::giveItemId(const std::string& propsPart, const std::string& itemId) {
    m_propsItemIds.emplace(propsPart, itemId);
}

} // namespace paperloom::engine
