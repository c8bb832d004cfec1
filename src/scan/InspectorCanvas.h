// The picture inspector's view of the full-resolution scan image: zoom from "fit the window" to
// 32 screen pixels per image pixel, the wheel zooming at the cursor, dragging with the left
// button panning. Only the part on screen is converted, so a redraw costs the same for a 32 MB
// image as for a small one. It reports the pixel under the cursor; a click without a drag pins
// the probe to a pixel (drawn as a frame) until the next click. UI thread only.
#pragma once

#include "scan/SampleStats.h"
#include "scan/ValueGlyphs.h"

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// An image pixel: line and pixel within the line.
struct ImagePixel {
    std::uint32_t line = 0;
    std::uint32_t pixel = 0;
    bool operator==(const ImagePixel &) const = default;
};

class InspectorCanvas : public QWidget {
public:
    static constexpr double kMaxZoom = 32.0;
    static constexpr double kValueZoom = 16.0; // values and grid from here up
    // The hatching over lines the frame did not deliver.
    static constexpr QRgb kUndelivered = 0xFFE040C0, kUndeliveredDark = 0xFF702060;

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

    // Samples at or below lo black, at or above hi white.
    void SetWindow(GreyWindow w);
    GreyWindow Window() const { return window_; }
    // Values in hex (digits of the pixel size) or decimal.
    void SetHexValues(bool hex);
    bool HexValues() const { return hex_; }
    // A sample as the view and the probe write it.
    static QString ValueText(std::uint32_t sample, std::uint32_t pixelBytes, bool hex);

    // A value as paint draws it: on which pixel, the text, its colour and the pixel's square.
    struct DrawnValue {
        ImagePixel at;
        QString text;
        QRgb ink;
        QRectF cell;
    };
    // The values paint draws (none below kValueZoom).
    std::vector<DrawnValue> ValuesShown() const;

    std::optional<PixelRect> Region() const { return region_; }
    void SetRegion(std::optional<PixelRect> r);
    // Moves the probe (pinning it) by lines and pixels, kept on the image and in view.
    void StepProbe(int lines, int pixels);

    // Converts what the view shows into target (resized to the view), as paint does.
    void Render(QImage &target) const;

    // What the owner hears (UI thread): the pixel under the cursor (none: off the image), a
    // pinned pixel, the zoom, a right click's pixel for the dump.
    std::function<void(std::optional<ImagePixel>)> onHover;
    std::function<void(std::optional<ImagePixel>)> onPinned;
    std::function<void()> onZoomChanged;
    std::function<void(QPoint globalPos, std::optional<ImagePixel>)> onContextMenu;
    std::function<void(std::optional<PixelRect>)> onRegion;
    std::function<void()> onCopy; // Ctrl+C

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ClampOrigin(); // keeps the image in view; centres it where it is smaller than the view
    void RebuildLut();
    std::uint8_t GreyOf(std::uint32_t sample) const
    {
        return lut_.empty() ? window_.Grey(sample) : lut_[sample];
    }
    PixelRect RectBetween(ImagePixel a, ImagePixel b) const;

    std::shared_ptr<const ScanFrame> frame_;
    double zoom_ = 1.0;
    QPointF origin_;
    bool fitted_ = true; // follows the window's size until the user zooms
    std::optional<ImagePixel> pinned_;
    // Dragging: where the press was and the origin then; a press that never moved is a click.
    std::optional<QPointF> pressAt_;
    QPointF pressOrigin_;
    bool dragged_ = false;
    std::optional<ImagePixel> regionFrom_; // a Ctrl drag's first pixel
    std::optional<PixelRect> region_;
    GreyWindow window_;
    std::vector<std::uint8_t> lut_; // grey of each sample value (8 and 16 bits; 32 compute)
    bool hex_ = true;
    QImage rendered_; // reused between paints
    ValueGlyphs glyphs_; // the values' glyphs at the current text size
};
