// The order of a paste, and the change of the target it makes.
#include "engine/paste/PasteSession.h"

#include "engine/model/StackingOrder.h"
#include "engine/package/Xml.h"
#include "engine/paste/FieldParagraphs.h"
#include "engine/settings/FirstDocument.h"
#include "engine/settings/LineGrid.h"
#include "engine/settings/PageBackground.h"

#include <cstring>
#include <stdexcept>

namespace paperloom::engine {

PasteSession::PasteSession(const Package& source, std::string sourceMain, DocumentModel& target)
    : m_source(source, std::move(sourceMain)), m_target(target), m_fonts(m_source, target),
      m_ids(target), m_parts(m_source, target, m_ids, m_fonts),
      m_customXml(m_source, target, m_parts), m_numbering(m_source, target),
      m_styles(m_source, target, m_fonts, m_numbering), m_notes(m_source, target),
      m_comments(m_source, target), m_remap(PasteMergers{m_styles, m_numbering, m_notes, m_comments,
                                                         m_ids, m_parts, m_fonts, m_customXml}) {}

void PasteSession::run() {
    begin();
    try {
        paste();
        commit();
    } catch (...) {
        rollBack();
        throw;
    }
}

void PasteSession::begin() {
    if (m_begun) {
        throw std::logic_error("a paste session runs once");
    }
    m_begun = true;
    m_change.emplace(m_target);
}

void PasteSession::paste() {
    requireOpenChange();
    step("stacking order");
    m_ids.prepareStacking(stackingOfSource());
    step("first document");
    adoptFirstDocument(m_source, m_target, m_remap, joinedLayoutMode);
    mergePageBackground(m_source, m_target, m_remap);
    step("lists");
    m_numbering.prepare();
    step("styles");
    m_fonts.compareThemes();
    m_styles.merge();
    step("list definitions");
    m_numbering.emit(m_remap);
    step("bookmarks");
    m_ids.collectBookmarks(m_source.mainDocument().document_element().child("w:body"));
    const bool hadNotes = hasNotes(m_target);
    step("footnotes");
    m_notes.mergeFootnotes(m_remap);
    step("endnotes");
    m_notes.mergeEndnotes(m_remap);
    step("line grids");
    if (!hadNotes && hasNotes(m_target)) {
        // The documents before this one lose the centring of their line grids (see LineGrid);
        // those after it state it as they are pasted.
        m_target.body.editSections(stateLineGridStart);
    }
    step("body");
    // Read before the body goes: a body long enough is freed block by block as it is pasted.
    m_target.hasTableOfContents = m_target.hasTableOfContents ||
                                  holdsTableOfContents(m_source.mainDocument().document_element());
    insertBody();
    step("comments");
    m_comments.merge(m_remap);
    step("fonts");
    m_fonts.mergeFontTable(m_remap);
    step("parts");
    m_parts.drainPending(m_remap);
}

StackingRange PasteSession::stackingOfSource() {
    StackingRange range;
    range.add(m_source.mainDocument().document_element());
    const std::string& main = m_source.mainPart();
    for (const auto& rel : m_source.relsOf(main).all()) {
        if (rel.external || rel.type.rfind(ns::RelTypeBase, 0) != 0) {
            continue;
        }
        const std::string kind = rel.type.substr(std::strlen(ns::RelTypeBase));
        const std::string name = resolvePartName(main, rel.target);
        if ((kind == "header" || kind == "footer" || kind == "footnotes" || kind == "endnotes" ||
             kind == "comments") &&
            m_source.package().contains(name)) {
            range.add(parsePart(m_source.package(), name).document_element());
        }
    }
    return range;
}

void PasteSession::commit() {
    requireOpenChange();
    step("done");
    m_change->commit();
    m_change.reset();
}

void PasteSession::rollBack() noexcept {
    if (m_change) {
        m_change->rollBack();
        m_change.reset();
    }
}

void PasteSession::step(std::string_view name) const {
    if (beforeStep) {
        beforeStep(name);
    }
}

void PasteSession::requireOpenChange() const {
    if (!m_change) {
        throw std::logic_error("the paste has no open change of the document");
    }
}

} // namespace paperloom::engine
