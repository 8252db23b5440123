#include "gui/gui_art.hpp"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QtMath>

// The pictures are compiled into the library; a static library has to register them itself.
static void register_art() {
    Q_INIT_RESOURCE(art);
}

namespace {

// An SVG of the resources drawn at `size` logical pixels, sharp on a scaled screen.
QPixmap render(const QString& resource, QSize size) {
    static const bool b_registered = (register_art(), true);
    (void)b_registered;
    QSvgRenderer renderer(resource);
    const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

}  // namespace

namespace gui_art {

QIcon application_icon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(render(":/art/brixel.svg", QSize(size, size)));
    }
    return icon;
}

QPixmap watermark() {
    return render(":/art/watermark.svg", QSize(164, 420));
}

QPixmap header_logo() {
    return render(":/art/header.svg", QSize(64, 64));
}

QPixmap animation_frame(int index) {
    const int size = 48;
    const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(size / 2.0, size / 2.0);
    const QColor lit(0xB3, 0x3A, 0x1E);  // brick red
    const QColor dim(0xD9, 0xCF, 0xC6);
    for (int i = 0; i < animation_frames; ++i) {
        const int behind = (index - i + animation_frames) % animation_frames;
        QColor color = dim;
        if (behind == 0) {
            color = lit;
        } else if (behind <= 2) {
            color = QColor::fromRgbF(lit.redF() + (dim.redF() - lit.redF()) * behind / 3.0,
                                     lit.greenF() + (dim.greenF() - lit.greenF()) * behind / 3.0,
                                     lit.blueF() + (dim.blueF() - lit.blueF()) * behind / 3.0);
        }
        painter.save();
        painter.rotate(i * 360.0 / animation_frames);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(QRectF(-4, -21, 8, 12), 2, 2);
        painter.restore();
    }
    return pixmap;
}

}  // namespace gui_art
