// Build tool: renders an SVG drawing into a square PNG of a fixed size, for icon themes that
// want bitmaps beside the scalable drawing.
//
// Usage: make-icon-image INPUT.svg OUTPUT.png SIZE
#include <cstdio>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg OUTPUT.png SIZE\n", argv[0]);
        return 2;
    }
    bool sizeRead = false;
    const int size = QByteArray(argv[3]).toInt(&sizeRead);
    if (!sizeRead || size < 1 || size > 4096) {
        std::fprintf(stderr, "%s: the size must be a number of pixels from 1 to 4096\n", argv[0]);
        return 2;
    }

    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();

    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
