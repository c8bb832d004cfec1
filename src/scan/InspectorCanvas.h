// The picture inspector's view of the full-resolution scan image: zoom from "fit the window" to
// 32 screen pixels per image pixel, the wheel zooming at the cursor, dragging with the left
// button panning. Only the part on screen is converted, so a redraw costs the same for a 32 MB
// image as for a small one. It reports the pixel under the cursor; a click without a drag pins
// the probe to a pixel (drawn as a frame) until the next click. UI thread only.
#pragma once

#include "scan/ScanFrame.h"

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

// An image pixel: line and pixel within the line.
struct ImagePixel {
    std::uint32_t line = 0;
    std::uint32_t pixel = 0;
    bool operator==(const ImagePixel &) const = default;
};

class InspectorCanvas : public QWidget {
public:
    static constexpr double kMaxZoom = 32.0;

    explicit InspectorCanvas(QWidget *parent = nullptr);

    // A new copy of the image. The view is kept while the geometry stays; otherwise it fits.
    void SetFrame(std::shared_ptr<const ScanFrame> frame);
    const ScanFrame *Frame() const { return frame_.get(); }

    double Zoom() const { return zoom_; }
    double FitZoom() const; // the whole image in the view (never above kMaxZoom)
    // Zooms to z (clamped to fit .. kMaxZoom) keeping the image point under `at` where it is.
    void ZoomAt(double z, QPointF at);
    void Fit();
    // The image point at the view's top left corner, in image pixels.
    QPointF Origin() const { return origin_; }

    // The image pixel under a view point, if the point shows one.
    std::optional<ImagePixel> PixelAt(QPointF viewPoint) const;
    // The view point at the centre of an image pixel.
    QPointF ViewPointOf(ImagePixel p) const;

    std::optional<ImagePixel> Pinned() const { return pinned_; }
    void SetPinned(std::optional<ImagePixel> p);

    // Converts what the view shows into target (resized to the view), as paint does.
    void Render(QImage &target) const;

    // What the owner hears (UI thread): the pixel under the cursor (none: off the image), a
    // pinned pixel, the zoom, a right click's pixel for the dump.
    std::function<void(std::optional<ImagePixel>)> onHover;
    std::function<void(std::optional<ImagePixel>)> onPinned;
    std::function<void()> onZoomChanged;
    std::function<void(QPoint globalPos, std::optional<ImagePixel>)> onContextMenu;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void ClampOrigin(); // keeps the image in view; centres it where it is smaller than the view

    std::shared_ptr<const ScanFrame> frame_;
    double zoom_ = 1.0;
    QPointF origin_;
    bool fitted_ = true; // follows the window's size until the user zooms
    std::optional<ImagePixel> pinned_;
    // Dragging: where the press was and the origin then; a press that never moved is a click.
    std::optional<QPointF> pressAt_;
    QPointF pressOrigin_;
    bool dragged_ = false;
    QImage rendered_; // reused between paints
};
