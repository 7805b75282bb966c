// The settings of the private LibreOffice profiles our converter runs with.
#pragma once

#include <string>

namespace paperloom::engine::office {

/// Writes our settings into the profile at folder (making folder/user as needed) before a
/// LibreOffice first starts with it, which keeps them: no loading of what a document links to
/// outside itself (pictures, linked sections, OLE and DDE links), no macros, no lock files
/// beside the files it reads. A profile that cannot be written is left to LibreOffice's own
/// defaults; false then.
bool writeProfileSettings(const std::string& folder);

} // namespace paperloom::engine::office
