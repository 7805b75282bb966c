// The ids and names of pasted content that must stay unique in the joined document:
// bookmarks (and the fields and links that name them), annotation ids, paragraph and drawing
// ids, content controls and VML shapes.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/model/StackingOrder.h"

#include <pugixml.hpp>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

namespace paperloom::engine {

/// What each id of the pasted document became in the target. New ids are claimed in the
/// target's IdRegistry in the order the content walk asks for them, which fixes the output.
class PastedIds {
public:
    /// Claims new ids in target's IdRegistry (so a rolled back change frees them).
    explicit PastedIds(DocumentModel& target);

    /// Gives every bookmark of the pasted body its name in the target before the content walk,
    /// so that fields and links before a bookmark already name it as renamed.
    void collectBookmarks(const pugi::xml_node& body);
    /// The name of a bookmark start met by the walk; a name the pasted document itself repeats
    /// gets a fresh one from its second use on.
    [[nodiscard]] std::string startBookmark(const std::string& name);
    /// What a bookmark name became, or null when the pasted document has no such bookmark.
    [[nodiscard]] const std::string* renamedBookmark(const std::string& name) const;
    /// A hyperlink's address with a bookmark it names ("#name") renamed as the paste renamed it.
    [[nodiscard]] std::string linkAddress(const std::string& address) const;

    /// The target's id for the annotation of this kind ("bm", "cm", "perm", ...) and pasted id;
    /// the same for the start and end of one range.
    [[nodiscard]] std::int64_t annotationId(const std::string& kind, const std::string& sourceId);
    /// A fresh annotation id for an annotation that pairs with nothing.
    [[nodiscard]] std::int64_t freshAnnotationId();
    /// A paragraph id (w14:paraId, as hex) unique in the target, the pasted one where it is free.
    [[nodiscard]] std::string paraId(const char* sourceHex);
    /// A text id (w14:textId) unique in the target, the pasted one where it is free.
    [[nodiscard]] std::string textId(const char* sourceHex);
    /// A fresh id for a drawing's wp:docPr.
    [[nodiscard]] std::uint32_t drawingId();

    /// Gives a content control a w:id no other one has (element is its w:id).
    void remapContentControlId(pugi::xml_node element);
    /// Keeps the ids of VML shapes unique and what names them (OLE objects, controls) in step;
    /// office is the prefix the Office namespace has where the element is ("" when none).
    void remapShapeIds(pugi::xml_node element, std::string_view local, std::string_view office);

    /// Decides how far the pasted document's stacking positions (pasted: those of every part it
    /// brings) move so that its floating shapes stack above the target's, and records the
    /// target's greatest position after the paste.
    void prepareStacking(const StackingRange& pasted);
    /// Moves the stacking position element states, as prepareStacking decided.
    void restack(pugi::xml_node element) const;

    /// Notes a w:fldChar: after a field begins, the first word of its instruction is its name.
    void fieldChar(const pugi::xml_node& fldChar);
    /// Renames the bookmarks a field instruction names (w:instrText, or the w:instr attribute
    /// of a w:fldSimple when isAttribute).
    void renameFieldTargets(pugi::xml_node holder, bool isAttribute);

private:
    std::string renameBookmark(const std::string& name);
    std::string freshBookmarkName(const std::string& name);

    DocumentModel& m_target;
    std::unordered_map<std::string, std::string> m_bookmarkNames;
    std::set<std::string> m_bookmarksSeen;
    std::map<std::string, std::int64_t> m_annotationIds;       // kind + ':' + source id -> new id
    std::unordered_map<std::string, std::string> m_shapeIds;   // source VML id -> new id
    std::unordered_map<std::string, std::string> m_shapeSpids; // source o:spid -> new one
    std::int64_t m_stackingShift = 0;
    bool m_fieldNameDue = false; // a complex field began; its first word is the field's name
};

} // namespace paperloom::engine
