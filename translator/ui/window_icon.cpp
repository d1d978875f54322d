#include "window_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library are linked in only when named (and the macro
// only works outside a namespace).
static void LoadIconResource() {
    Q_INIT_RESOURCE(window_icon);
}

namespace translator::ui {

// Drawn here at the sizes window managers and task bars ask for, so that the
// program needs no image plugin to show it.
QIcon WindowIcon() {
    LoadIconResource();
    QSvgRenderer renderer(QStringLiteral(":/veltrix-translator.svg"));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace translator::ui
