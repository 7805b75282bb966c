// Button pictures rendered from the SVG sources built into the program.
#include "shell/Pictures.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace paperloom {
namespace {

QString resourcePath(Picture which) {
    switch (which) {
    case Picture::WordDocument:
        return QStringLiteral(":/pictures/word-document.svg");
    case Picture::TapeDispenser:
        return QStringLiteral(":/pictures/tape-dispenser.svg");
    case Picture::OpenFolder:
        return QStringLiteral(":/pictures/open-folder.svg");
    case Picture::MoveUp:
        return QStringLiteral(":/pictures/move-up.svg");
    case Picture::MoveDown:
        return QStringLiteral(":/pictures/move-down.svg");
    case Picture::ProgramIcon:
        return QStringLiteral(":/paperloom.svg");
    }
    return {};
}

QPixmap render(QSvgRenderer& renderer, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

QIcon picture(Picture which) {
    QSvgRenderer renderer(resourcePath(which));
    QIcon icon;
    if (!renderer.isValid()) {
        return icon;
    }
    for (const int size : {32, 64, 96}) {
        icon.addPixmap(render(renderer, size));
    }
    return icon;
}

} // namespace paperloom
