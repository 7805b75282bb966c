// A form keeps its protection in a joined document, and the documents beside it stay open.
#pragma once

#include <pugixml.hpp>

#include <vector>

namespace paperloom::engine {

class DocumentModel;
class PastedDocument;

/// Whether settings (the document element of a settings part, or null) let only the form fields
/// of the protected sections be edited: w:documentProtection for forms, enforced.
[[nodiscard]] bool protectsForms(const pugi::xml_node& settings);

/// Before the pasted body's sections are remapped. Protection is document-wide, but which
/// sections it protects is said per section (w:formProt, protected unless switched off). So
/// the joined document protects forms once a pasted document does (with that document's
/// protection, password and all), and the sections of every document that does not are
/// switched off: those joined before, when the pasted document is the first form, and those of
/// a later pasted document (sections, its sectPr elements). Other kinds of protection are not
/// kept. LibreOffice lays a protected form out in protected sections, which place its
/// footnotes a line higher than in an open document.
void keepFormProtection(PastedDocument& pasted, DocumentModel& target,
                        const std::vector<pugi::xml_node>& sections);

} // namespace paperloom::engine
