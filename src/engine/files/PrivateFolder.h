// A folder in the temporary folder that only we can enter, for copies handed to other programs.
#pragma once

#include <string>

namespace paperloom::engine {

/// "paperloom-<pid>-XXXXXX" in the temporary folder ($TMPDIR, else /tmp), made with mode 0700 on
/// first use and removed, with everything in it, when the object goes. The documents a join
/// hands to LibreOffice sit here, where no other user can read them. Not thread-safe.
class PrivateFolder {
public:
    PrivateFolder() = default;
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    /// A name for a new file in the folder, ending in suffix; makes the folder first. Throws
    /// WriteError when the folder cannot be made.
    [[nodiscard]] std::string newFilePath(const std::string& suffix);
    /// The folder, or "" before the first newFilePath.
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    std::string m_path;
    unsigned m_count = 0;
};

/// The temporary folder: $TMPDIR when set, else /tmp.
[[nodiscard]] std::string temporaryFolder();

/// Removes from folder what programs of ours that have ended left in it: private folders and
/// the temporary copies of earlier versions ("paperloom-<pid>-N.docx"), each only when it is
/// ours (same user), its name carries a process id and no process with that id runs.
void removeOrphanedPrivateFolders(const std::string& folder);

} // namespace paperloom::engine
