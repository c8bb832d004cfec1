// The on-screen side of the overlay stand-in: one frameless top-level window per shown surface,
// placed at the destination and masked to the pixels where the program's own window under it
// shows the key colour. Widgets are created, changed and destroyed on the GUI thread only.
#include "OverlayState.h"

#include <QApplication>
#include <QBitmap>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace overlay {

namespace {

class OverlayWindow : public QWidget {
public:
    OverlayWindow()
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setObjectName(QStringLiteral("OverlaySurfaceWindow"));
    }

    QImage image;
    QRect source;
    uint64_t version = ~uint64_t{0};
    OverlayPlacement placement{};
    QElapsedTimer sinceMask;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawImage(rect(), image, source);
    }
};

struct Window {
    QPointer<OverlayWindow> widget;
};

// GUI thread only.
std::map<OverlaySurface, Window> &windows()
{
    static std::map<OverlaySurface, Window> w;
    return w;
}

std::atomic<bool> syncPending{false};

bool isOverlayWindow(const QWidget *w)
{
    return w->objectName() == QLatin1String("OverlaySurfaceWindow");
}

// Where the program's own windows under `dest` show the key colour, in window coordinates.
// With no window of the program under the destination the whole picture shows.
QRegion keyMask(const QRect &dest, const OverlayPlacement &p)
{
    const QRgb key =
        qRgb(static_cast<int>(p.keyRed), static_cast<int>(p.keyGreen), static_cast<int>(p.keyBlue));
    QRegion visible;
    bool covered = false;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || isOverlayWindow(top))
            continue;
        const QRect frame(top->mapToGlobal(QPoint(0, 0)), top->size());
        const QRect common = frame.intersected(dest);
        if (common.isEmpty())
            continue;
        covered = true;
        // No format conversion: Qt runs large conversions on its own worker threads, which the
        // thread sanitizer cannot follow. A grab is 32-bit already; the mask compares raw pixels.
        QImage shot = top->grab(QRect(common.topLeft() - frame.topLeft(), common.size())).toImage();
        if (shot.depth() != 32)
            shot = shot.convertToFormat(QImage::Format_RGB32);
        const QImage mask = shot.createMaskFromColor(key, Qt::MaskOutColor);
        QRegion part(QBitmap::fromImage(mask));
        part.translate(common.topLeft() - dest.topLeft());
        visible += part;
    }
    return covered ? visible : QRegion(QRect(QPoint(0, 0), dest.size()));
}

// Blue, green, red rows to a 32-bit image in our own loop (a Qt conversion of a picture this
// size would run on Qt's worker threads, out of the thread sanitizer's sight).
QImage toRgb32(const uint8_t *bgr)
{
    QImage out(OVERLAY_WIDTH, OVERLAY_HEIGHT, QImage::Format_RGB32);
    for (uint32_t y = 0; y < OVERLAY_HEIGHT; ++y) {
        const uint8_t *in = bgr + y * OVERLAY_WIDTH * 3;
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(static_cast<int>(y)));
        for (uint32_t x = 0; x < OVERLAY_WIDTH; ++x, in += 3)
            row[x] = qRgb(in[2], in[1], in[0]);
    }
    return out;
}

// GUI thread.
void syncOnGui()
{
    syncPending = false;
    struct Snapshot {
        OverlaySurface handle;
        OverlayPlacement placement;
        uint64_t version;
        QImage image;
    };
    std::vector<Snapshot> shown;
    {
        std::lock_guard lock(state().mutex);
        for (auto &[handle, surface] : state().surfaces) {
            if (!surface.shown)
                continue;
            Snapshot s{handle, surface.placement, surface.version, {}};
            auto it = windows().find(handle);
            if (it == windows().end() || !it->second.widget ||
                it->second.widget->version != s.version)
                s.image = toRgb32(surface.pixels.data());
            shown.push_back(std::move(s));
        }
    }
    // Windows of surfaces that are gone or hidden.
    for (auto it = windows().begin(); it != windows().end();) {
        const bool keep = std::any_of(shown.begin(), shown.end(),
                                      [&](const Snapshot &s) { return s.handle == it->first; });
        if (!keep) {
            delete it->second.widget.data();
            it = windows().erase(it);
        } else {
            ++it;
        }
    }
    for (Snapshot &s : shown) {
        Window &w = windows()[s.handle];
        if (!w.widget)
            w.widget = new OverlayWindow;
        OverlayWindow *win = w.widget;
        const OverlayPlacement &p = s.placement;
        const QRect dest(p.destX, p.destY, static_cast<int>(p.destWidth),
                         static_cast<int>(p.destHeight));
        const bool moved = std::memcmp(&win->placement, &p, sizeof p) != 0;
        if (!s.image.isNull())
            win->image = std::move(s.image);
        win->version = s.version;
        win->source =
            QRect(QPoint(static_cast<int>(p.srcLeft), static_cast<int>(p.srcTop)),
                  QPoint(static_cast<int>(p.srcRight) - 1, static_cast<int>(p.srcBottom) - 1));
        win->placement = p;
        if (win->geometry() != dest)
            win->setGeometry(dest);
        // The key area of the program's window rarely changes: look again a few times a second.
        if (moved || !win->sinceMask.isValid() || win->sinceMask.elapsed() > 250) {
            win->setMask(keyMask(dest, p));
            win->sinceMask.restart();
        }
        if (!win->isVisible())
            win->show();
        win->update();
    }
}

} // namespace

bool haveGui()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

// Any thread: at most one sync waits in the GUI thread's queue at a time.
void scheduleSync()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (qobject_cast<QApplication *>(app) == nullptr)
        return;
    if (syncPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        app, [] { syncOnGui(); }, Qt::QueuedConnection);
}

} // namespace overlay
