// Folder entries from the file system through the directory stream.
#include "doclist/FolderReader.h"

#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>

namespace paperloom {
namespace {

FolderEntry::Kind kindOfTarget(int folderFd, const char* name) {
    struct stat target {};
    if (::fstatat(folderFd, name, &target, 0) != 0) {
        return FolderEntry::Kind::Other;
    }
    return S_ISREG(target.st_mode) ? FolderEntry::Kind::File : FolderEntry::Kind::Other;
}

FolderEntry::Kind kindOf(int folderFd, const dirent& entry) {
    switch (entry.d_type) {
    case DT_REG:
        return FolderEntry::Kind::File;
    case DT_DIR:
        return FolderEntry::Kind::Folder;
    case DT_LNK:
        return kindOfTarget(folderFd, entry.d_name);
    case DT_UNKNOWN:
        break;
    default:
        return FolderEntry::Kind::Other;
    }
    // Some file systems leave the type out of the directory stream.
    struct stat own {};
    if (::fstatat(folderFd, entry.d_name, &own, AT_SYMLINK_NOFOLLOW) != 0) {
        return FolderEntry::Kind::Other;
    }
    if (S_ISREG(own.st_mode)) {
        return FolderEntry::Kind::File;
    }
    if (S_ISDIR(own.st_mode)) {
        return FolderEntry::Kind::Folder;
    }
    if (S_ISLNK(own.st_mode)) {
        return kindOfTarget(folderFd, entry.d_name);
    }
    return FolderEntry::Kind::Other;
}

struct CloseFolder {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

} // namespace

std::optional<std::vector<FolderEntry>> FileSystemFolderReader::read(const QString& folder) {
    const QByteArray encoded = QFile::encodeName(folder);
    const std::unique_ptr<DIR, CloseFolder> stream(::opendir(encoded.constData()));
    if (!stream) {
        return std::nullopt;
    }
    const int folderFd = ::dirfd(stream.get());
    std::vector<FolderEntry> entries;
    // An error part-way through ends the listing with the names read so far.
    while (const dirent* entry = ::readdir(stream.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        entries.push_back({QFile::decodeName(entry->d_name), kindOf(folderFd, *entry)});
    }
    return entries;
}

} // namespace paperloom
