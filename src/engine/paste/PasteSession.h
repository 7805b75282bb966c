// The state of one paste: what the pasted document's ids became in the target document.
#pragma once

#include "engine/model/DocumentModel.h"
#include "engine/package/Package.h"
#include "engine/package/PrefixScope.h"
#include "engine/package/Relationships.h"

#include <pugixml.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace paperloom::engine {

/// The typefaces a theme gives its major and minor fonts (latin, east Asian, complex script),
/// and its colour scheme as text (for comparison only).
struct ThemeFonts {
    std::string major[3];
    std::string minor[3];
    std::string colors;
    [[nodiscard]] bool sameFonts(const ThemeFonts& other) const {
        for (int i = 0; i < 3; ++i) {
            if (major[i] != other.major[i] || minor[i] != other.minor[i]) {
                return false;
            }
        }
        return true;
    }
};

/// Reads the fonts and colours of a theme part; empty when the part is absent or has none.
[[nodiscard]] ThemeFonts readThemeFonts(const Package& package, const std::string& themePart);

/// A custom XML part with its properties part, which names it by an item id.
struct CustomXmlItem {
    std::string itemPart;
    std::string propsPart;
    std::string itemId; // as written in the properties part
};

/// Carries the pasted document's content into the target document: copies the parts it refers
/// to, renumbers what must stay unique and renames what collides. Each member function fills
/// one of the maps that the content walk (remap) then applies.
///
/// A paste is one change of the target (DocumentChange): it begins with run(), is committed
/// when every step is done, and is rolled back when any step throws, so that the target is
/// then exactly what it was before. A session runs once.
class PasteSession {
public:
    PasteSession(const Package& source, std::string sourceMain, DocumentModel& target);

    /// Runs the whole paste: lists, styles, notes, body, comments, sections. Throws what a
    /// step throws, with the target as it was before.
    void run();
    /// Called with the name of each step before it runs (and with "done" before the commit);
    /// a fault seam for tests, unset in the program.
    std::function<void(std::string_view step)> beforeStep;

    // --- used by the merge steps ---
    const Package& source;
    const std::string sourceMain;
    DocumentModel& target;
    ContentTypes sourceTypes;
    pugi::xml_document sourceDoc;

    std::unordered_map<std::string, std::string> styleMap;
    std::unordered_map<std::string, std::string> numMap; // source numId -> target numId
    std::unordered_map<std::string, std::string> bookmarkNames;
    std::map<std::string, std::int64_t> annotationIds; // kind + ':' + source id -> new id
    std::unordered_map<std::string, std::string> footnoteIds;
    std::unordered_map<std::string, std::string> endnoteIds;
    std::string defaultParagraphStyle; // set when pasted paragraphs must name their style
    std::string defaultTableStyle;
    pugi::xml_document sourceNumbering;
    std::string sourceNumberingPart;
    std::unordered_map<std::string, std::string> abstractMap;
    std::unordered_map<std::string, std::string> picBulletMap;
    bool resolveThemeFonts = false;
    bool resolveThemeColors = false;
    ThemeFonts sourceFonts;

    /// The relationships of a source part (empty when it has none).
    const Relationships& sourceRels(const std::string& partName);
    /// The source's settings, parsed once per paste; empty when absent or unreadable (such a
    /// document counts as one with the default settings).
    const pugi::xml_document& sourceSettings();
    /// The source's styles, parsed once per paste for the steps that only read them; empty
    /// when absent. A malformed part throws, as it fails the paste.
    const pugi::xml_document& sourceStyles();
    /// The source's comments, parsed once per paste; empty when absent. A malformed part
    /// throws, as it fails the paste.
    const pugi::xml_document& sourceComments();
    /// The name of the source part a main-part relationship of this kind points to, or "".
    [[nodiscard]] std::string sourcePartOfKind(const std::string& kind);
    /// Rewrites every reference, id and name in the content under node, which comes from
    /// sourcePart (whose document element is sourceRoot: its namespace declarations hold for
    /// node, wherever node is now) and lands in targetPart.
    void remap(pugi::xml_node node, const pugi::xml_node& sourceRoot, const std::string& sourcePart,
               const std::string& targetPart);
    /// Adds to element the namespace declarations of sourceRoot that targetRoot lacks.
    static void declareMissingNamespaces(
        pugi::xml_node element, const pugi::xml_node& sourceRoot,
        const std::vector<std::pair<std::string, std::string>>& targetNamespaces);
    /// Replaces theme font references by the source theme's typefaces.
    void resolveFonts(pugi::xml_node rFonts);
    /// Drops theme colour references where the themes differ, leaving the colour value that
    /// the source's own theme gave (which writers store beside the reference).
    void resolveColors(pugi::xml_node element) const;
    /// Copies pending parts (and what they refer to) into the target.
    void drainPendingParts();

private:
    void step(std::string_view name) const;
    std::string mapRelationship(const std::string& sourcePart, const std::string& relId,
                                const std::string& targetPart);
    std::string ensureCopied(const std::string& sourcePart, const std::string& relType);
    /// A hyperlink's address with a bookmark it names ("#name") renamed as the paste renamed it.
    [[nodiscard]] std::string linkAddress(const std::string& address) const;
    std::int64_t annotationId(const std::string& kind, const std::string& sourceId);
    std::string renameBookmark(const std::string& name);
    std::string freshBookmarkName(const std::string& name);
    void renameFieldTargets(pugi::xml_node holder, bool isAttribute);
    void collectBookmarks(const pugi::xml_node& node);
    /// The key of a comment element or marker (local name) with a source id: the id itself, or
    /// the id with the occurrence where the source repeats it; "" for a comment the source does
    /// not have.
    [[nodiscard]] std::string commentKey(std::string_view local, const std::string& sourceId);
    /// True when the target's styles (the pasted ones merged in) define this style id.
    [[nodiscard]] bool targetDefinesStyle(const std::string& id);

    void mergeNotes(bool endnotes);
    void mergeComments();
    void mergeFonts();
    void insertBody();

    // --- parts around the comments, ids of pasted objects, parts that name other parts ---
    void mergeCommentThreads(const std::unordered_map<std::string, std::string>& paraIds);
    std::unordered_map<std::string, std::string>
    mergeCommentIds(const std::unordered_map<std::string, std::string>& paraIds);
    void mergeCommentExtensions(const std::unordered_map<std::string, std::string>& durableIds);
    void mergePeople();
    /// Removes the embedded font references of a source font whose data the source lacks.
    void dropFontsWithoutData(pugi::xml_node font, const std::string& sourcePart);
    /// Gives a content control a w:id no other one has (element is its w:id).
    void remapContentControlId(pugi::xml_node element);
    /// Keeps the ids of VML shapes unique and what names them (OLE objects, controls) in step.
    void remapShapeIds(pugi::xml_node element, std::string_view local);
    /// Copies the custom XML part a data binding names and points the binding at the copy.
    void rebindCustomXml(pugi::xml_node binding);
    /// The content of a copied part that names parts or ids outside itself, rewritten for the
    /// target; null when the part is copied as it is.
    [[nodiscard]] PartDataPtr rewrittenCopy(const std::string& sourcePart, const std::string& kind);
    /// rewrittenCopy's work; throws PackageError for a part that does not parse.
    [[nodiscard]] PartDataPtr rewrite(const std::string& sourcePart, const std::string& kind);
    /// A chart whose theme fonts would resolve against another theme in the target, with the
    /// source theme's typefaces written in; null when the themes agree or the source has none.
    [[nodiscard]] PartDataPtr rewriteChartFonts(const std::string& sourcePart);

    struct PartOwner {
        std::string sourcePart; // the part that refers to a diagram's data
        std::string targetPart;
    };
    std::unordered_map<std::string, PartOwner> m_diagramOwners; // source data part -> owner
    std::unordered_map<std::string, std::string> m_shapeIds;    // source VML id -> new id
    std::unordered_map<std::string, std::string> m_shapeSpids;  // source o:spid -> new one
    bool m_fieldNameDue = false; // a complex field began; its first word is the field's name
    std::unordered_map<std::string, std::string> m_storeItemIds; // source id (lower) -> target id
    std::unordered_map<std::string, std::string> m_propsItemIds; // source props part -> new id
    bool m_customXmlIndexed = false;
    std::unordered_map<std::string, CustomXmlItem> m_sourceItems; // id (lower) -> parts
    std::unordered_map<std::string, CustomXmlItem> m_targetItems;

    pugi::xml_document m_sourceComments;
    bool m_sourceCommentsRead = false;
    std::unordered_map<std::string, unsigned> m_commentCounts; // source comment id -> comments
    std::unordered_map<std::string, unsigned> m_commentsSeen;  // local + ':' + id -> seen so far
    std::unordered_set<std::string> m_targetStyles;
    bool m_targetStylesIndexed = false;
    std::unordered_map<std::string, Relationships> m_sourceRels;
    pugi::xml_document m_sourceSettings;
    pugi::xml_document m_sourceStyles;
    bool m_sourceSettingsRead = false;
    bool m_sourceStylesRead = false;
    std::unordered_map<std::string, std::string> m_copied;
    std::deque<std::pair<std::string, std::string>> m_pending; // source part, relationship type
    std::set<std::string> m_bookmarksSeen;
    const PrefixScope* m_scope = nullptr; // where remap's walk is
};

/// Lists: gives every list definition of the source a fresh id in the target (fills numMap);
/// emitNumbering writes them once the style names are known.
void prepareNumbering(PasteSession& session);
void emitNumbering(PasteSession& session);
/// Styles: shares identical definitions, adds differing ones under new ids (fills styleMap).
void mergeStyles(PasteSession& session);

} // namespace paperloom::engine
