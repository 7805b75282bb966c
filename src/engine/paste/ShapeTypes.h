// The VML shape types a pasted document defines, made visible to its shapes in the joined document.
#pragma once

#include <pugixml.hpp>

namespace paperloom::engine {

class DocumentModel;

/// LibreOffice finds the type a VML shape names (`type="#_x0000_t202"`) only among the types
/// defined by the first drawing of the document that defines any; a pasted document's own
/// definitions are not looked at once the target defines a type. The types the pasted body
/// defines are therefore copied next to the target's first definitions, but only ids the target
/// neither defines nor names anywhere: an existing definition is never replaced, and a shape
/// before the paste that names a type it does not find keeps not finding it. Definitions under
/// mc:Fallback are left out on both sides (readers that take the choice do not see them), and so
/// are definitions that refer to parts or use a prefix the target does not declare.
/// Runs on the source body before the remap; does nothing when the target defines no type.
void shareShapeTypes(const pugi::xml_node& sourceBody, DocumentModel& target);

} // namespace paperloom::engine
