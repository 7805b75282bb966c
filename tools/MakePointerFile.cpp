// Build tool: renders an SVG drawing into a 32 x 32 cursor (.cur) or icon (.ico) file.
//
// Usage: make-pointer-file INPUT.svg OUTPUT (cur HOTX HOTY | ico)
#include <cstdio>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace {

constexpr int kSize = 32;

void putWord(QByteArray& out, quint16 value) {
    out.append(static_cast<char>(value & 0xff));
    out.append(static_cast<char>(value >> 8));
}

void putLong(QByteArray& out, quint32 value) {
    putWord(out, static_cast<quint16>(value & 0xffff));
    putWord(out, static_cast<quint16>(value >> 16));
}

// One 32-bit image with its mask, in the directory layout shared by cursor and icon files.
QByteArray pointerFile(const QImage& image, bool cursor, int hotX, int hotY) {
    QByteArray bitmap;
    putLong(bitmap, 40);
    putLong(bitmap, kSize);
    putLong(bitmap, kSize * 2); // colour rows and mask rows
    putWord(bitmap, 1);
    putWord(bitmap, 32);
    putLong(bitmap, 0);
    putLong(bitmap, 0);
    putLong(bitmap, 0);
    putLong(bitmap, 0);
    putLong(bitmap, 0);
    putLong(bitmap, 0);
    for (int y = kSize - 1; y >= 0; --y) {
        for (int x = 0; x < kSize; ++x) {
            const QRgb pixel = image.pixel(x, y);
            bitmap.append(static_cast<char>(qBlue(pixel)));
            bitmap.append(static_cast<char>(qGreen(pixel)));
            bitmap.append(static_cast<char>(qRed(pixel)));
            bitmap.append(static_cast<char>(qAlpha(pixel)));
        }
    }
    for (int y = kSize - 1; y >= 0; --y) {
        quint32 row = 0;
        for (int x = 0; x < kSize; ++x) {
            if (qAlpha(image.pixel(x, y)) < 128) {
                row |= 1U << (31 - x);
            }
        }
        bitmap.append(static_cast<char>(row >> 24));
        bitmap.append(static_cast<char>(row >> 16));
        bitmap.append(static_cast<char>(row >> 8));
        bitmap.append(static_cast<char>(row));
    }

    QByteArray file;
    putWord(file, 0);
    putWord(file, cursor ? 2 : 1);
    putWord(file, 1);
    file.append(static_cast<char>(kSize));
    file.append(static_cast<char>(kSize));
    file.append('\0');
    file.append('\0');
    putWord(file, static_cast<quint16>(cursor ? hotX : 1));
    putWord(file, static_cast<quint16>(cursor ? hotY : 32));
    putLong(file, static_cast<quint32>(bitmap.size()));
    putLong(file, 6 + 16);
    return file + bitmap;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg OUTPUT (cur HOTX HOTY | ico)\n", argv[0]);
        return 2;
    }
    const bool cursor = QByteArray(argv[3]) == "cur";
    const int hotX = cursor && argc > 5 ? QByteArray(argv[4]).toInt() : 0;
    const int hotY = cursor && argc > 5 ? QByteArray(argv[5]).toInt() : 0;

    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QImage image(kSize, kSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();

    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(pointerFile(image, cursor, hotX, hotY)) < 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
