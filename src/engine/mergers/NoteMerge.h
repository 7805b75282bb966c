// The pasted document's footnotes and endnotes, numbered on from the joined document's.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/paste/PastedDocument.h"

#include <string>
#include <unordered_map>

namespace paperloom::engine {

class PasteRemap;

/// Appends the pasted notes to the target's notes parts under new ids that rise with the
/// references of the pasted body (readers may number notes by id), and answers what a
/// reference's note became. Separators are taken only into a notes part the paste creates.
class NoteMerger {
public:
    /// Merges into target; knows no note until a merge.
    NoteMerger(PastedDocument& source, DocumentModel& target);

    /// Appends the footnotes. Throws PackageError for a part that does not parse.
    void mergeFootnotes(PasteRemap& remap) { merge(false, remap); }
    /// Appends the endnotes. Throws PackageError for a part that does not parse.
    void mergeEndnotes(PasteRemap& remap) { merge(true, remap); }
    /// The target's id of a pasted note (an endnote or a footnote), or null when the pasted
    /// document has no such note.
    [[nodiscard]] const std::string* renamed(bool endnote, const std::string& sourceId) const;
    /// True once mergeEndnotes has taken at least one endnote of the pasted document.
    [[nodiscard]] bool tookEndnotes() const { return !m_endnoteIds.empty(); }

private:
    void merge(bool endnotes, PasteRemap& remap);

    PastedDocument& m_source;
    DocumentModel& m_target;
    std::unordered_map<std::string, std::string> m_footnoteIds;
    std::unordered_map<std::string, std::string> m_endnoteIds;
};

} // namespace paperloom::engine
