// The documents a join is about to open, converted ahead of their turn.
#pragma once

#include "engine/automation/ConversionWorkers.h"
#include "engine/automation/DocumentConverter.h"
#include "engine/files/PrivateFolder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace paperloom::engine {

/// Converts the documents of an announced list that need the converter (legacy Word, RTF, ODF)
/// on the conversion workers while earlier ones are pasted: a few ahead of the one being opened,
/// in list order except that a large one moves forward, and no more at once than kAheadBytes of
/// input. A conversion's failure is
/// reported only when its document is opened, so the join stops where it would have stopped
/// anyway. Nothing here changes what a document opens as: a source that changed since its
/// conversion is converted again. The window's thread calls everything here.
class InputsAhead {
public:
    InputsAhead(ConversionWorkers& workers, PrivateFolder& folder)
        : m_workers(workers), m_folder(folder) {}
    /// Drops what was converted and not taken.
    ~InputsAhead();
    InputsAhead(const InputsAhead&) = delete;
    InputsAhead& operator=(const InputsAhead&) = delete;

    /// Replaces the list with paths, in the order they will be opened, and starts converting
    /// the first of them through converter (none without one).
    void expect(const std::vector<std::string>& paths,
                const std::shared_ptr<DocumentConverter>& converter);
    /// The documents at paths may be expected soon (a list being made): the converter is told
    /// how many of them need it, on a worker, so that what it takes to start runs meanwhile.
    /// Converts nothing.
    void prepare(const std::vector<std::string>& paths,
                 const std::shared_ptr<DocumentConverter>& converter);
    /// Called as path is opened: the entries before its entry in the list are given up, and the
    /// conversions move on ahead of it. A path not in the list changes nothing.
    void reached(const std::string& path);
    /// A WordprocessingML package with the content of path, in the private folder, now the
    /// caller's to remove: the one converted ahead when path was just reached and is unchanged,
    /// else converted now. Throws the converter's WordError.
    [[nodiscard]] std::string convert(const std::string& path,
                                      const std::shared_ptr<DocumentConverter>& converter);
    /// Gives up the list: conversions not started are dropped, those under way waited for, and
    /// what they wrote removed.
    void clear();

    /// At most this many documents are converted ahead of the one being opened...
    static constexpr std::size_t kAheadDocuments = 6;
    /// ...and at most this many bytes of them, unless it is only the next one.
    static constexpr std::uint64_t kAheadBytes = 128ULL << 20;

private:
    struct Entry;
    void moveOn();
    void giveUp(Entry& entry);

    ConversionWorkers& m_workers;
    PrivateFolder& m_folder;
    std::shared_ptr<DocumentConverter> m_converter;
    std::vector<std::shared_ptr<Entry>> m_entries;
    std::size_t m_next = 0;           // the first entry not yet reached
    std::shared_ptr<Entry> m_reached; // the entry Open has just reached, until it converts
    ConversionWorkers::Ticket m_preparing;
};

} // namespace paperloom::engine
