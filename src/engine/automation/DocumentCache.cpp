// The saved-document cache and the file stamps that keep it honest.
#include "engine/automation/DocumentCache.h"

#include <filesystem>
#include <sys/stat.h>

namespace paperloom::engine {

std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.mtimeSec = st.st_mtim.tv_sec;
    stamp.mtimeNsec = st.st_mtim.tv_nsec;
    stamp.ctimeSec = st.st_ctim.tv_sec;
    stamp.ctimeNsec = st.st_ctim.tv_nsec;
    return stamp;
}

std::string canonicalPath(const std::string& path) {
    std::error_code error;
    auto canonical =
        std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    return error ? path : canonical.string();
}

void DocumentCache::remember(Entry entry) {
    m_entries.remove_if([&](const Entry& other) { return other.path == entry.path; });
    m_entries.push_front(std::move(entry));
    while (m_entries.size() > kMaxEntries) {
        m_entries.pop_back();
    }
}

void DocumentCache::recordSave(const std::string& path, std::uint64_t version) {
    const std::string key = canonicalPath(path);
    const auto stamp = stampOf(key);
    if (!stamp) {
        m_entries.remove_if([&](const Entry& entry) { return entry.path == key; });
        return;
    }
    remember(Entry{key, stamp, version, nullptr});
}

void DocumentCache::recordBackgroundSave(const std::string& path, std::uint64_t version) {
    const std::string key = canonicalPath(path);
    remember(Entry{key, std::nullopt, version, nullptr});
}

void DocumentCache::recordWritten(const std::string& path, std::uint64_t version,
                                  const std::optional<FileStamp>& stamp) {
    const std::string key = canonicalPath(path);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->path != key || it->version != version || it->stamp) {
            continue;
        }
        if (stamp) {
            it->stamp = stamp;
        } else {
            m_entries.erase(it);
        }
        return;
    }
}

void DocumentCache::offer(const std::string& path, std::unique_ptr<DocumentModel> model) {
    const std::string key = canonicalPath(path);
    for (auto& entry : m_entries) {
        if (entry.path == key && model && entry.version == model->version()) {
            entry.model = std::move(model);
            return;
        }
    }
}

std::unique_ptr<DocumentModel> DocumentCache::take(const std::string& path) {
    const std::string key = canonicalPath(path);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->path != key) {
            continue;
        }
        std::unique_ptr<DocumentModel> model;
        // Without a stamp the file is still being written from this very model.
        const auto stamp = it->stamp ? stampOf(key) : std::nullopt;
        if (!it->stamp || (stamp && *stamp == *it->stamp)) {
            model = std::move(it->model);
        }
        m_entries.erase(it);
        return model;
    }
    return nullptr;
}

} // namespace paperloom::engine
