// Converting the documents of a join ahead of their turn, and handing them over in order.
#include "engine/automation/InputsAhead.h"

#include "engine/automation/DocumentCache.h"
#include "engine/package/PackageOpener.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <utility>

namespace paperloom::engine {
namespace {

/// The size of a regular file; nothing for anything else, which Open refuses or reports itself
/// (and which must not be opened here: a named pipe waits for a writer for ever).
std::optional<std::uint64_t> regularFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool needsConverter(FileKind kind) {
    return kind == FileKind::LegacyWord || kind == FileKind::OldWord || kind == FileKind::Rtf ||
           kind == FileKind::OpenDocument;
}

} // namespace

/// One document of the list. What the job finds is written before it ends and read only after.
struct InputsAhead::Entry {
    std::string path;
    std::size_t index = 0;         // in the list
    std::uint64_t bytes = 0;       // as the list was announced
    bool converts = false;         // needs the converter, as the list was announced
    std::size_t rank = 0;          // in the conversion order
    ConversionWorkers::Ticket job; // none until its conversion is asked for
    std::string package;           // the converted package, or empty
    std::exception_ptr failure;
    std::optional<FileStamp> source; // the source as it was converted
};

InputsAhead::~InputsAhead() {
    clear();
}

void InputsAhead::expect(const std::vector<std::string>& paths,
                         const std::shared_ptr<DocumentConverter>& converter) {
    clear();
    m_converter = converter;
    for (const std::string& path : paths) {
        auto entry = std::make_shared<Entry>();
        entry->path = path;
        entry->index = m_entries.size();
        if (const auto size = regularFileSize(path); size && converter) {
            entry->bytes = *size;
            try {
                entry->converts = needsConverter(sniffFileHead(path));
            } catch (...) {
                // Open says what is wrong with it.
            }
        }
        if (entry->converts) {
            m_conversionOrder.push_back(entry);
        }
        m_entries.push_back(std::move(entry));
        if (m_entries.size() == 1) {
            moveOn(); // the first converts while the others are looked at
        }
    }
    // A document starts as many places before its own as its input is larger than the typical
    // one (input size stands for the time a conversion takes): the small ones keep their list
    // order, and a large one converts beside as many of them as take about as long.
    std::vector<std::uint64_t> sizes;
    for (const auto& entry : m_conversionOrder) {
        sizes.push_back(entry->bytes);
    }
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    const double typical = sizes.empty() ? 1.0 : std::max<double>(1.0, sizes[sizes.size() / 2]);
    const auto place = [typical](const Entry& entry) {
        return static_cast<double>(entry.index) - static_cast<double>(entry.bytes) / typical;
    };
    std::stable_sort(m_conversionOrder.begin(), m_conversionOrder.end(),
                     [&](const auto& a, const auto& b) { return place(*a) < place(*b); });
    for (std::size_t rank = 0; rank < m_conversionOrder.size(); ++rank) {
        m_conversionOrder[rank]->rank = rank;
    }
    moveOn();
}

void InputsAhead::prepare(const std::vector<std::string>& paths,
                          const std::shared_ptr<DocumentConverter>& converter) {
    if (m_preparing) {
        m_workers.cancel(m_preparing); // a newer list supersedes one not looked at yet
    }
    if (!converter) {
        return;
    }
    // Looking at the files (a long list, a slow folder) is the worker's, not the caller's.
    const std::size_t enough = static_cast<std::size_t>(converter->parallelConversions());
    m_preparing = m_workers.submit(
        ConversionWorkers::Urgency::Background, 0,
        [paths, converter, enough] {
            std::size_t needing = 0;
            for (const std::string& path : paths) {
                try {
                    if (regularFileSize(path) && needsConverter(sniffFile(path)) &&
                        ++needing == enough) {
                        break;
                    }
                } catch (...) {
                    // Open says what is wrong with it.
                }
            }
            if (needing > 0) {
                converter->prepare(needing);
            }
        },
        converter->parallelConversions());
}

void InputsAhead::reached(const std::string& path) {
    if (m_reached) {
        giveUp(*m_reached); // opened as it was, without conversion
        m_reached.reset();
    }
    for (std::size_t i = m_next; i < m_entries.size(); ++i) {
        if (m_entries[i]->path != path) {
            continue;
        }
        for (std::size_t skipped = m_next; skipped < i; ++skipped) {
            giveUp(*m_entries[skipped]);
        }
        m_reached = m_entries[i];
        m_next = i + 1;
        moveOn();
        return;
    }
}

void InputsAhead::moveOn() {
    if (!m_converter) {
        return;
    }
    std::uint64_t bytes = 0;
    for (std::size_t i = m_next; i < m_entries.size(); ++i) {
        if (m_entries[i]->job) {
            bytes += m_entries[i]->bytes;
        }
    }
    // The next document goes before the others as soon as the join opens the one before it.
    if (m_next < m_entries.size()) {
        const std::shared_ptr<Entry>& next = m_entries[m_next];
        if (next->job) {
            m_workers.hurry(next->job, next->index);
        } else if (next->converts) {
            bytes += next->bytes;
            submit(next, ConversionWorkers::Urgency::Awaited);
        }
    }
    for (const std::shared_ptr<Entry>& entry : m_conversionOrder) {
        if (entry->index > m_next && !entry->job && bytes + entry->bytes <= kAheadBytes) {
            bytes += entry->bytes;
            submit(entry, ConversionWorkers::Urgency::Ahead);
        }
    }
}

void InputsAhead::submit(const std::shared_ptr<Entry>& entry, ConversionWorkers::Urgency urgency) {
    const std::string package = m_folder.newFilePath(".docx");
    const std::shared_ptr<DocumentConverter> converter = m_converter;
    // Those the join waits for go in list order, the others in the conversion order.
    const std::uint64_t order =
        urgency == ConversionWorkers::Urgency::Awaited ? entry->index : entry->rank;
    entry->job = m_workers.submit(
        urgency, order,
        [entry, package, converter] {
            try {
                if (!regularFileSize(entry->path) || !needsConverter(sniffFile(entry->path))) {
                    return; // Open reads it, or says what is wrong with it
                }
                entry->source = stampOf(entry->path);
                converter->toWordPackage(entry->path, package);
                entry->package = package;
            } catch (...) {
                std::remove(package.c_str());
                entry->failure = std::current_exception();
            }
        },
        converter->parallelConversions());
}

std::string InputsAhead::convert(const std::string& path,
                                 const std::shared_ptr<DocumentConverter>& converter) {
    std::shared_ptr<Entry> entry;
    entry.swap(m_reached);
    if (entry && entry->path == path && entry->job) {
        m_workers.hurry(entry->job, entry->index);
        m_workers.wait(entry->job);
        const auto now = stampOf(path);
        if (entry->source && now == entry->source) {
            if (entry->failure) {
                std::rethrow_exception(entry->failure);
            }
            if (!entry->package.empty()) {
                return std::exchange(entry->package, std::string());
            }
        }
        giveUp(*entry);
    }
    // Not announced, not converted ahead, or changed since: converted now.
    const std::string package = m_folder.newFilePath(".docx");
    std::exception_ptr failure;
    const auto job = m_workers.submit(
        ConversionWorkers::Urgency::Awaited, 0,
        [&] {
            try {
                converter->toWordPackage(path, package);
            } catch (...) {
                failure = std::current_exception();
            }
        },
        converter->parallelConversions());
    m_workers.wait(job);
    if (failure) {
        std::remove(package.c_str());
        std::rethrow_exception(failure);
    }
    return package;
}

void InputsAhead::giveUp(Entry& entry) {
    if (entry.job && !m_workers.cancel(entry.job)) {
        m_workers.wait(entry.job);
    }
    if (!entry.package.empty()) {
        std::remove(entry.package.c_str());
        entry.package.clear();
    }
}

void InputsAhead::clear() {
    for (std::size_t i = m_next; i < m_entries.size(); ++i) {
        giveUp(*m_entries[i]);
    }
    if (m_reached) {
        giveUp(*m_reached);
        m_reached.reset();
    }
    m_entries.clear();
    m_conversionOrder.clear();
    m_next = 0;
    m_converter.reset();
}

} // namespace paperloom::engine
