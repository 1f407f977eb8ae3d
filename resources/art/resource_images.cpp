// The program's icons and bitmaps by resource id.
#include <QPainter>
#include <QSvgRenderer>

#include "platform/dialog_window.h"
#include "resources/art/operating_curves.h"
#include "resources/resource_ids.h"

// Registering the compiled-in drawings by name keeps them available however the static
// library is linked into a program.
static void RegisterArt() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(art);
        return true;
    }();
    (void)registered;
}

namespace {

struct ArtFile {
    int id;
    const char* path;
    int width;
    int height;
    bool icon;
};

constexpr ArtFile kArt[] = {
    {IDR_MAINFRAME, ":/art/trefoil.svg", 32, 32, true},
    {IDI_STOP, ":/art/stop.svg", 32, 32, true},
    {IDI_XRAY, ":/art/trefoil.svg", 32, 32, true},
    {IDI_EXIT, ":/art/exit_door.svg", 32, 32, true},
    {IDI_LOGO, ":/art/monogram.svg", 32, 32, true},
    {IDI_LOCK_OPEN, ":/art/padlock_open.svg", 32, 32, true},
    {IDI_LOCK_CLOSED, ":/art/padlock_closed.svg", 32, 32, true},
    {IDB_LOGO_LEFT, ":/art/logo_corvane.svg", 92, 45, false},
    {IDB_LOGO_RIGHT, ":/art/logo_ravlen.svg", 98, 45, false},
    {IDB_TUBE, ":/art/tube_head.svg", 190, 93, false},
    {IDB_TUBE_1UA, ":/art/tube_head_1ua.svg", 190, 93, false},
    {IDB_TUBE_TELVO, ":/art/tube_controller_telvo.svg", 190, 93, false},
    {IDB_TUBE_ORRIN, ":/art/tube_controller_orrin.svg", 190, 93, false},
    {IDB_TUBE_SARPA, ":/art/tube_controller_sarpa.svg", 190, 93, false},
};

const ArtFile* FindArt(int id) {
    for (const auto& art : kArt) {
        if (art.id == id)
            return &art;
    }
    return nullptr;
}

QImage RenderSvg(const ArtFile& art, int width, int height) {
    RegisterArt();
    QSvgRenderer renderer(QString::fromLatin1(art.path));
    if (!renderer.isValid())
        return {};
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return image;
}

}  // namespace

namespace platform {

QPixmap LoadImageResource(int id, int width, int height) {
    if (width < 0 || height < 0)
        return {};
    if (const ArtFile* art = FindArt(id)) {
        const QImage image = RenderSvg(*art, width ? width : art->width, height ? height : art->height);
        return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
    }
    const QImage curve = RenderOperatingCurve(id, width, height);
    return curve.isNull() ? QPixmap() : QPixmap::fromImage(curve);
}

QIcon LoadIconResource(int id) {
    const ArtFile* art = FindArt(id);
    if (!art || !art->icon)
        return {};
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        const QImage image = RenderSvg(*art, size, size);
        if (image.isNull())
            return {};
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace platform
