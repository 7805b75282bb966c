// Where each document's endnotes are shown once documents are joined: after its own text.
#pragma once

#include <pugixml.hpp>

#include <vector>

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;

/// Before the pasted body is remapped, after its notes are merged (hasEndnotes: the pasted
/// document brought endnotes). A document that keeps its endnotes at its end has each of its
/// sections but the last (and but the first of the joined document) suppress theirs, so that they
/// gather at the end of its last section; once the joined document holds endnotes and has more than
/// one document, its settings place endnotes at the end of each section, so that no document's
/// endnotes move past the documents after it. A document that places its endnotes at the end of
/// each section keeps that. Sections are the source's sectPr elements in document order.
void keepEndnotesWithTheirDocument(PastedDocument& pasted, DocumentModel& target,
                                   const std::vector<pugi::xml_node>& sections, bool hasPrevious,
                                   bool hasEndnotes);

} // namespace paperloom::engine
