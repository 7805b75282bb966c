// What a change of a document model must undo, recorded at its start and as it goes.
#include "engine/model/DocumentChange.h"

#include "engine/package/Xml.h"

#include <array>
#include <optional>
#include <stdexcept>

namespace paperloom::engine {

/// The document as a change found it. Whatever only grows (parts, names, media, relationships,
/// content types, ids) is recorded as it grows; the rest is small or shared and is copied at the
/// start. The parsed parts are kept as their saved form where they have one (after a save, all
/// of them), so the start of a change costs next to nothing in a join.
struct DocumentModel::Change {
    struct PartState {
        std::string name;
        bool dirty = false;
        PartDataPtr cached;
        PartDataPtr saved; // the content as stored, or
        std::string text;  // as written out at the start of the change
    };

    std::vector<std::pair<std::string, PartDataPtr>> replacedParts; // null: a new part
    std::vector<std::string> claimedNames;
    std::vector<std::pair<std::uint64_t, std::string>> media;
    std::unordered_map<std::string, std::optional<Relationships::Mark>> rels; // none: new
    std::unordered_map<std::string, Relationships> relsBeforeRemoval;         // as first met
    std::unordered_map<std::string, unsigned> nextSuffix;
    std::unordered_set<std::string> dirtyRels;
    Body::Snapshot body;
    std::array<PartState, 6> parts;
    Numbering numbering;
    std::string numberingName;
    std::string themeName;
    std::string mainContentType;
    std::string emptyHeaderPart;
    std::string emptyFooterPart;
    unsigned statedHeaders = 0;
    bool numbersLines = false;
    bool hasTableOfContents = false;
    bool endsInStatedSection = false;
    std::uint64_t version = 0;
};

namespace {

std::array<XmlPart*, 6> xmlParts(DocumentModel& model) {
    return {&model.styles,   &model.settings, &model.footnotes,
            &model.endnotes, &model.comments, &model.fontTable};
}

/// Limits for reading back what this program compressed itself.
PackageLimits ownDataLimits() {
    PackageLimits limits;
    limits.maxPartSize = ~std::uint64_t{0};
    limits.maxInflateRatio = ~std::uint64_t{0};
    return limits;
}

} // namespace

DocumentModel::DocumentModel() = default;
DocumentModel::~DocumentModel() = default;

void DocumentModel::checkUsable() const {
    if (m_damaged) {
        throw PackageError("the document in memory is damaged",
                           "a failed change could not be undone");
    }
}

void DocumentModel::beginChange() {
    checkUsable();
    if (m_change) {
        throw std::logic_error("a change of the document is open already");
    }
    auto change = std::make_unique<Change>();
    change->nextSuffix = m_nextSuffix;
    change->dirtyRels = m_dirtyRels;
    contentTypes.mark();
    change->body = body.snapshot();
    const auto parts = xmlParts(*this);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const XmlPart& part = *parts[i];
        Change::PartState& state = change->parts[i];
        state.name = part.m_name;
        state.dirty = part.m_dirty;
        state.cached = part.m_cached;
        if (!part) {
            continue;
        }
        if (!part.m_dirty && part.m_cached) {
            state.saved = part.m_cached;
        } else {
            state.text = serializeDocument(part.m_doc);
        }
    }
    change->numbering = numbering;
    change->numberingName = numberingName;
    change->themeName = themeName;
    change->mainContentType = mainContentType;
    change->emptyHeaderPart = emptyHeaderPart;
    change->emptyFooterPart = emptyFooterPart;
    change->statedHeaders = statedHeaders;
    change->numbersLines = numbersLines;
    change->hasTableOfContents = hasTableOfContents;
    change->endsInStatedSection = endsInStatedSection;
    change->version = m_version;
    ids.mark();
    m_change = std::move(change);
}

void DocumentModel::commitChange() {
    if (!m_change) {
        return;
    }
    ids.keep();
    contentTypes.keep();
    m_change.reset();
    ++m_version;
}

void DocumentModel::rollBackChange() noexcept {
    if (!m_change) {
        return;
    }
    Change& change = *m_change;
    try {
        for (auto it = change.replacedParts.rbegin(); it != change.replacedParts.rend(); ++it) {
            if (it->second) {
                package.parts[it->first] = it->second;
            } else {
                package.parts.erase(it->first);
            }
        }
        for (const auto& name : change.claimedNames) {
            m_lowerNames.erase(name);
        }
        for (const auto& [key, name] : change.media) {
            const auto range = m_mediaByContent.equal_range(key);
            for (auto it = range.first; it != range.second; ++it) {
                if (it->second == name) {
                    m_mediaByContent.erase(it);
                    break;
                }
            }
        }
        // A removal rebuilt these: back to all they held, then to their state at the start.
        for (auto& [partName, rels] : change.relsBeforeRemoval) {
            m_rels[partName] = std::move(rels);
        }
        for (auto& [partName, mark] : change.rels) {
            if (mark) {
                m_rels.at(partName).rollBack(std::move(*mark));
            } else {
                m_rels.erase(partName);
            }
        }
        m_nextSuffix = std::move(change.nextSuffix);
        m_dirtyRels = std::move(change.dirtyRels);
        contentTypes.rollBack();
        body.restore(std::move(change.body));
        const auto parts = xmlParts(*this);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            XmlPart& part = *parts[i];
            Change::PartState& state = change.parts[i];
            part.m_name = state.name;
            part.m_dirty = state.dirty;
            part.m_cached = state.cached;
            if (state.name.empty()) {
                part.m_doc.reset();
            } else if (state.saved) {
                part.m_doc = parseXml(state.saved->text(state.name, ownDataLimits()), state.name);
            } else {
                part.m_doc = parseXml(state.text, state.name);
            }
        }
        numbering = std::move(change.numbering);
        numberingName = std::move(change.numberingName);
        themeName = std::move(change.themeName);
        mainContentType = std::move(change.mainContentType);
        emptyHeaderPart = std::move(change.emptyHeaderPart);
        emptyFooterPart = std::move(change.emptyFooterPart);
        statedHeaders = change.statedHeaders;
        numbersLines = change.numbersLines;
        hasTableOfContents = change.hasTableOfContents;
        endsInStatedSection = change.endsInStatedSection;
        m_version = change.version;
        ids.rollBack();
    } catch (...) {
        // Half undone is worse than refused: saving and further changes now fail.
        m_damaged = true;
    }
    m_change.reset();
}

void DocumentModel::noteReplacedPart(const std::string& name) {
    if (m_change) {
        const auto it = package.parts.find(name);
        m_change->replacedParts.emplace_back(name,
                                             it == package.parts.end() ? nullptr : it->second);
    }
}

void DocumentModel::noteClaimedName(const std::string& lowerName) {
    if (m_change) {
        m_change->claimedNames.push_back(lowerName);
    }
}

void DocumentModel::noteRelationships(const std::string& partName, bool existed) {
    if (m_change && m_change->rels.count(partName) == 0) {
        m_change->rels.emplace(partName,
                               existed ? std::optional(m_rels.at(partName).mark()) : std::nullopt);
    }
}

void DocumentModel::noteRemovedRelationships(const std::string& partName) {
    if (m_change && m_change->relsBeforeRemoval.count(partName) == 0) {
        m_change->relsBeforeRemoval.emplace(partName, m_rels.at(partName));
    }
}

void DocumentModel::noteMedia(std::uint64_t key, const std::string& name) {
    if (m_change) {
        m_change->media.emplace_back(key, name);
    }
}

} // namespace paperloom::engine
