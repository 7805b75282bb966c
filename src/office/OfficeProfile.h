// The private LibreOffice profiles our converter runs with: their settings, and removing them
// with what their LibreOffice made outside them.
#pragma once

#include <string>

namespace paperloom::engine::office {

/// Writes our settings into the profile at folder (making folder/user as needed) before a
/// LibreOffice first starts with it, which keeps them: no loading of what a document links to
/// outside itself (pictures, linked sections, OLE and DDE links), no macros, no lock files
/// beside the files it reads. A profile that cannot be written is left to LibreOffice's own
/// defaults; false then.
bool writeProfileSettings(const std::string& folder);

/// Removes a profile folder of the bridge, with the sockets in /tmp that its UNO-driven soffice
/// listed in it (soffice removes them itself only when it ends normally; ours is killed).
void removeProfileFolder(const std::string& folder);

/// Removes the profile folders that bridges of ended programs left in folder (a program killed
/// outright cannot remove its own). The folder name carries the owner's process id; a folder
/// whose owner still runs, or that belongs to another user, is left alone. Also removes the
/// sockets in /tmp of UNO-driven soffices of ours that ended with their profile already gone.
void removeOrphanedProfiles(const std::string& folder);

} // namespace paperloom::engine::office
