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

/// The order of a conversion ahead among the others: its place in the list, moved forward by
/// one place per kBytesPerPlace of input, at most to the front of the window. A large document
/// near the end of the list then converts beside the small ones before it instead of alone after
/// them, while the join waits for it.
std::uint64_t aheadOrder(std::size_t index, std::uint64_t bytes) {
    constexpr std::uint64_t kFraction = 256; // steps of a place
    constexpr std::uint64_t kBytesPerPlace = 256 << 10;
    const std::uint64_t forward = std::min(bytes / (kBytesPerPlace / kFraction),
                                           (InputsAhead::kAheadDocuments - 1) * kFraction);
    return (index + InputsAhead::kAheadDocuments) * kFraction - forward;
}

bool needsConverter(FileKind kind) {
    return kind == FileKind::LegacyWord || kind == FileKind::OldWord || kind == FileKind::Rtf ||
           kind == FileKind::OpenDocument;
}

} // namespace

/// One document of the list. What the job finds is written before it ends and read only after.
struct InputsAhead::Entry {
    std::string path;
    std::uint64_t bytes = 0;
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
        m_entries.push_back(std::move(entry));
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
    const std::size_t end = std::min(m_entries.size(), m_next + kAheadDocuments);
    for (std::size_t i = m_next; i < end; ++i) {
        Entry& entry = *m_entries[i];
        if (!entry.job) {
            const auto size = regularFileSize(entry.path);
            if (!size) {
                continue;
            }
            entry.bytes = *size;
        }
        bytes += entry.bytes;
        if (i > m_next && bytes > kAheadBytes) {
            return;
        }
        if (entry.job) {
            continue;
        }
        const std::shared_ptr<Entry> shared = m_entries[i];
        const std::string package = m_folder.newFilePath(".docx");
        const std::shared_ptr<DocumentConverter> converter = m_converter;
        entry.job = m_workers.submit(
            ConversionWorkers::Urgency::Ahead, aheadOrder(i, entry.bytes),
            [shared, package, converter] {
                try {
                    if (!regularFileSize(shared->path) ||
                        !needsConverter(sniffFile(shared->path))) {
                        return; // Open reads it, or says what is wrong with it
                    }
                    shared->source = stampOf(shared->path);
                    converter->toWordPackage(shared->path, package);
                    shared->package = package;
                } catch (...) {
                    std::remove(package.c_str());
                    shared->failure = std::current_exception();
                }
            },
            converter->parallelConversions());
    }
}

std::string InputsAhead::convert(const std::string& path,
                                 const std::shared_ptr<DocumentConverter>& converter) {
    std::shared_ptr<Entry> entry;
    entry.swap(m_reached);
    if (entry && entry->path == path && entry->job) {
        m_workers.hurry(entry->job);
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
    m_next = 0;
    m_converter.reset();
}

} // namespace paperloom::engine
