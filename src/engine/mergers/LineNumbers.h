// Line numbers only where a document numbers its lines, once documents are joined.
#pragma once

#include <pugixml.hpp>

#include <vector>

namespace paperloom::engine {

class DocumentModel;

/// Whether a section (sectPr) numbers its lines.
[[nodiscard]] bool numbersLines(const pugi::xml_node& sectPr);

/// Has every paragraph in block (the block itself, or those in its tables and content controls)
/// leave its lines unnumbered. Returns true when it changed anything.
bool suppressLineNumbers(pugi::xml_node block);

/// Before the pasted body's blocks are inserted. Word numbers lines per section, LibreOffice
/// numbers them in the whole document once one section asks for it. So once the joined document
/// holds a section with line numbers, the paragraphs of every section without them say so: those
/// joined before, when the pasted document is the first to number its lines, and those of the
/// pasted document's sections without line numbers. body is the pasted w:body, sections its
/// sectPr elements in document order (the final one last, if any).
void keepLineNumbersToTheirSections(DocumentModel& target, pugi::xml_node body,
                                    const std::vector<pugi::xml_node>& sections);

/// After the pasted body is inserted: the empty paragraph that ends the joined document belongs to
/// its last section, and leaves its line unnumbered when that section does.
void keepLastLineUnnumbered(DocumentModel& target);

} // namespace paperloom::engine
