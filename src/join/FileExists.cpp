// The file-exists test: a successful query of the last-modified time.
#include "join/FileExists.h"

#include <sys/stat.h>

#include <QFile>

namespace paperloom {

bool FileExists(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0))) {
        return false;
    }
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace paperloom
