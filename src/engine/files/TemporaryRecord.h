// The temporaries we make beside the user's files, on record until they are gone, so that those
// of a program that was killed are removed at the next start.
#pragma once

#include <string>

namespace paperloom::engine {

/// Puts the temporary file at path on record while the object lives: in the journal (one small
/// file per temporary in $XDG_STATE_HOME/paperloom/temporaries, else
/// ~/.local/state/paperloom/temporaries, named after our process id), which removeLeftovers of a
/// later program reads, and in a table that a second stop signal empties at once. Made before
/// the temporary is created, destroyed after it was renamed or removed. Never fails: a journal
/// that cannot be written only costs the clean-up after a kill.
class TemporaryRecord {
public:
    explicit TemporaryRecord(const std::string& path);
    ~TemporaryRecord();
    TemporaryRecord(const TemporaryRecord&) = delete;
    TemporaryRecord& operator=(const TemporaryRecord&) = delete;

private:
    std::string m_entry; // the journal file
    int m_slot = -1;     // in the table, or -1
};

/// Removes every temporary on record now. Async-signal-safe: for the second stop signal.
void removeRecordedTemporaries() noexcept;

/// Removes what programs of ours that have ended left behind: the temporaries their journal
/// names, each only while it is a regular file of this user with the name of one of our
/// temporaries; and the private folders in the temporary folder (removeOrphanedPrivateFolders).
/// Entries of programs that still run are left alone. Call at the start of a program.
void removeLeftovers();

} // namespace paperloom::engine
