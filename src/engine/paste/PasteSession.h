// One paste of a document into another: its steps, and the change of the target they make.
#pragma once

#include "engine/mergers/CommentMerge.h"
#include "engine/mergers/CustomXmlMerge.h"
#include "engine/mergers/FontMerge.h"
#include "engine/mergers/NoteMerge.h"
#include "engine/mergers/NumberingMerge.h"
#include "engine/mergers/PartMerge.h"
#include "engine/mergers/PastedIds.h"
#include "engine/mergers/StyleMerge.h"
#include "engine/model/DocumentChange.h"
#include "engine/model/DocumentModel.h"
#include "engine/model/StackingOrder.h"
#include "engine/package/Package.h"
#include "engine/paste/PasteRemap.h"
#include "engine/paste/PastedDocument.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace paperloom::engine {

/// Carries the pasted document's content into the target document: copies the parts it refers
/// to, renumbers what must stay unique and renames what collides. Each concern has a merger
/// that owns what it decided (what a style, list, note, comment, id or part became); the
/// content walk (PasteRemap) asks them while it rewrites the pasted content.
///
/// A paste is one change of the target (DocumentChange): begin() opens it, paste() runs the
/// steps, commit() keeps what they did and rollBack() (or destruction before commit) puts the
/// target back exactly as it was. run() does all of it. A session pastes once.
class PasteSession {
public:
    /// Reads the pasted document's main part; throws PackageError when it has no body.
    PasteSession(const Package& source, std::string sourceMain, DocumentModel& target);
    PasteSession(const PasteSession&) = delete;
    PasteSession& operator=(const PasteSession&) = delete;

    /// Begins, pastes and commits; throws what a step throws, with the target as it was before.
    void run();
    /// Opens the change of the target. Throws std::logic_error when the session began already,
    /// and what DocumentModel::beginChange throws.
    void begin();
    /// The steps, in order: stacking order, first document, lists, styles, list definitions,
    /// bookmarks, footnotes, endnotes, line grids (of the documents before the first notes), body,
    /// comments, fonts, parts. Throws std::logic_error outside an open change, else what a
    /// step throws (PackageError for a part that does not parse), leaving the change open for
    /// rollBack.
    void paste();
    /// Keeps what the steps did; the target counts as changed. Throws std::logic_error outside
    /// an open change.
    void commit();
    /// Puts the target back as it was at begin (nothing after commit).
    void rollBack() noexcept;

    /// Called with the name of each step before it runs (and with "done" before the commit);
    /// a fault seam for tests, unset in the program.
    std::function<void(std::string_view step)> beforeStep;
    /// The layout mode the target takes when this paste brings its first content, instead of
    /// the pasted document's (see joinedLayoutMode).
    std::optional<int> joinedLayoutMode;

private:
    void step(std::string_view name) const;
    void requireOpenChange() const;
    /// The stacking positions of the pasted document's shapes, in every part it brings.
    /// Throws PackageError for a part that does not parse.
    [[nodiscard]] StackingRange stackingOfSource();
    /// The body step: the pasted blocks and sections appended where the target ends.
    void insertBody();

    PastedDocument m_source;
    DocumentModel& m_target;
    FontMerger m_fonts;
    PastedIds m_ids;
    PartMerger m_parts;
    CustomXmlMerger m_customXml;
    NumberingMerger m_numbering;
    StyleMerger m_styles;
    NoteMerger m_notes;
    CommentMerger m_comments;
    PasteRemap m_remap;
    std::optional<DocumentChange> m_change;
    bool m_begun = false;
};

} // namespace paperloom::engine
