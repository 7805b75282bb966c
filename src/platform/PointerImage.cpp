// Cursor and icon files as pointer images, hot spot included.
#include "platform/PointerImage.h"

#include <QFile>
#include <QImage>
#include <QPixmap>

namespace paperloom {
namespace {

// Cursor and icon files share one layout: a 6-byte directory header (reserved 0, type 1 for an
// icon or 2 for a cursor, image count), then 16-byte entries. A cursor entry keeps its hot spot
// where an icon entry keeps planes and bit count.
constexpr qsizetype kHeaderSize = 6;
constexpr qsizetype kEntrySize = 16;

quint16 readWord(const QByteArray& bytes, qsizetype at) {
    return static_cast<quint16>(static_cast<unsigned char>(bytes[at]) |
                                (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

} // namespace

std::optional<QCursor> loadPointerImage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() < kHeaderSize + kEntrySize || readWord(bytes, 0) != 0) {
        return std::nullopt;
    }
    const quint16 type = readWord(bytes, 2);
    if ((type != 1 && type != 2) || readWord(bytes, 4) == 0) {
        return std::nullopt;
    }
    // Qt's icon reader knows only the icon type; a cursor is an icon with a hot spot.
    QByteArray asIcon = bytes;
    asIcon[2] = 1;
    QImage image;
    if (!image.loadFromData(asIcon, "ICO") || image.isNull()) {
        return std::nullopt;
    }
    int hotX = image.width() / 2;
    int hotY = image.height() / 2;
    if (type == 2) {
        hotX = readWord(bytes, kHeaderSize + 4);
        hotY = readWord(bytes, kHeaderSize + 6);
    }
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

} // namespace paperloom
