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
/// on the conversion workers while earlier ones are pasted: the one the join opens next first,
/// the others in list order except that a large one moves forward, and no more at once than
/// kAheadBytes of input not yet opened. A conversion's failure is reported only when its
/// document is opened, so the join stops where it would have stopped anyway. Nothing here
/// changes what a document opens as: a source that changed since its conversion is converted
/// again. The window's thread calls everything here.
///
/// Why large ones early: the converters are busy from the start of a join to its end, and what
/// decides its length is how evenly their work ends. A large document converted in its list
/// place keeps one converter busy alone while the others, done, wait for it with the join; one
/// converted early goes beside small ones, and the last conversions are small ones of the end
/// of the list, which leave the join little to paste after them. The next document before all
/// others keeps the join pasting (and its progress moving) meanwhile.
class InputsAhead {
public:
    InputsAhead(ConversionWorkers& workers, PrivateFolder& folder)
        : m_workers(workers), m_folder(folder) {}
    /// Drops what was converted and not taken.
    ~InputsAhead();
    InputsAhead(const InputsAhead&) = delete;
    InputsAhead& operator=(const InputsAhead&) = delete;

    /// Replaces the list with paths, in the order they will be opened, and starts converting
    /// them through converter (none without one). Looks at each file's size and first bytes.
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

    /// At most this many bytes of the documents not yet opened are converted or converting,
    /// unless it is only the next one: their packages wait in the private folder.
    static constexpr std::uint64_t kAheadBytes = 128ULL << 20;

private:
    struct Entry;
    void moveOn();
    void submit(const std::shared_ptr<Entry>& entry, ConversionWorkers::Urgency urgency);
    void giveUp(Entry& entry);

    ConversionWorkers& m_workers;
    PrivateFolder& m_folder;
    std::shared_ptr<DocumentConverter> m_converter;
    std::vector<std::shared_ptr<Entry>> m_entries;
    std::vector<std::shared_ptr<Entry>> m_conversionOrder; // those that need the converter
    std::size_t m_next = 0;                                // the first entry not yet reached
    std::shared_ptr<Entry> m_reached; // the entry Open has just reached, until it converts
    ConversionWorkers::Ticket m_preparing;
};

} // namespace paperloom::engine
