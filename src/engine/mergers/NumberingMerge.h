// The pasted document's lists, given definitions of their own in the joined document so that
// they restart instead of continuing another document's lists.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/paste/PastedDocument.h"

#include <pugixml.hpp>

#include <string>
#include <unordered_map>

namespace paperloom::engine {

class PasteRemap;

/// Renumbers the pasted list definitions (w:num, w:abstractNum, w:numPicBullet) above the
/// target's. prepare gives every one its new id before the styles and the body name them; emit
/// writes the definitions once the style names they use are known.
class NumberingMerger {
public:
    /// Merges into target; maps no list until prepare.
    NumberingMerger(PastedDocument& source, DocumentModel& target);

    /// Claims the new ids, creating the target's numbering part when it has none. Throws
    /// PackageError for a numbering part that does not parse.
    void prepare();
    /// Appends the renumbered definitions to the target's numbering, walked by remap.
    void emit(PasteRemap& remap);
    /// The target's w:numId for a pasted one; "0" (no list) for one the source does not define.
    [[nodiscard]] std::string numId(const std::string& sourceId) const;

private:
    PastedDocument& m_source;
    DocumentModel& m_target;
    pugi::xml_document m_sourceNumbering;
    std::string m_sourcePart;                              // "" when the source has no numbering
    std::unordered_map<std::string, std::string> m_numIds; // source w:numId -> target
    std::unordered_map<std::string, std::string> m_abstractIds; // source w:abstractNumId -> target
    std::unordered_map<std::string, std::string> m_picBulletIds;
};

} // namespace paperloom::engine
