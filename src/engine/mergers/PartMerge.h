// The parts pasted content refers to (pictures, headers, charts, embedded objects...), copied
// into the joined document under names and relationship ids of its own.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/paste/PastedDocument.h"

#include <deque>
#include <string>
#include <unordered_map>
#include <utility>

namespace paperloom::engine {

class FontMerger;
class PastedIds;
class PasteRemap;

/// Copies the parts the pasted content relates to, each once, and maps its relationships.
/// Media with the same bytes as a part of the target is shared instead of copied; other parts
/// are named at once (so references to them can be written) and copied, with what they relate
/// to in turn, by drainPending. Part names and relationship ids are taken in the order the
/// content walk asks for them.
class PartMerger {
public:
    /// Copies into target; ids renames the bookmarks links name, fonts says whether charts
    /// need their theme fonts written in.
    PartMerger(PastedDocument& source, DocumentModel& target, const PastedIds& ids,
               const FontMerger& fonts);

    /// The target's id for a relationship relId of sourcePart, added to targetPart's
    /// relationships, the part it names copied. An id the source does not have becomes one
    /// that names nothing (never another part); "" stays "".
    [[nodiscard]] std::string mapRelationship(const std::string& sourcePart,
                                              const std::string& relId,
                                              const std::string& targetPart);
    /// The target's name for a source part, reached by a relationship of relType; copies media
    /// at once and queues other parts for drainPending.
    [[nodiscard]] std::string ensureCopied(const std::string& sourcePart,
                                           const std::string& relType);
    /// Makes the copy of a custom XML properties part carry itemId instead of its own.
    void giveItemId(const std::string& propsPart, const std::string& itemId);
    /// Copies the queued parts into the target, with their relationships and the parts those
    /// name; headers and footers go through the content walk. Throws PackageError for a header
    /// or footer that does not parse.
    void drainPending(PasteRemap& remap);

private:
    /// The content of a copied part that names parts or ids outside itself, rewritten for the
    /// target; null when the part is copied as it is (also when it does not parse).
    [[nodiscard]] PartDataPtr rewrittenCopy(const std::string& sourcePart, const std::string& kind);

    struct PartOwner {
        std::string sourcePart; // the part that refers to a diagram's data
        std::string targetPart;
    };

    PastedDocument& m_source;
    DocumentModel& m_target;
    const PastedIds& m_ids;
    const FontMerger& m_fonts;
    std::unordered_map<std::string, std::string> m_copied;       // source part -> target name
    std::deque<std::pair<std::string, std::string>> m_pending;   // source part, relationship type
    std::unordered_map<std::string, PartOwner> m_diagramOwners;  // source data part -> owner
    std::unordered_map<std::string, std::string> m_propsItemIds; // source props part -> new id
};

} // namespace paperloom::engine
