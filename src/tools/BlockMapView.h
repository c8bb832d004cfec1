// One bank's compare map: a cell per 4 KiB block coloured by its error count. A block with an
// error is drawn as a marker of at least kMinMarker pixels with a dark edge, so one bad block is
// seen at any zoom (the wheel zooms). Hovering names the block's address range, its error count
// and the first recorded mismatches in it; a click asks for the block's bytes. UI thread only.
#pragma once

#include "ops/MismatchTally.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class BlockMapView : public QWidget {
public:
    static constexpr int kBlockBytes = 4096;
    static constexpr int kMinMarker = 8; // pixels, each way
    static constexpr int kMaxZoom = 8;

    // map: one pixel per block, `columns` blocks a row.
    BlockMapView(const ops::BankTally &bank, QImage map, int columns, int zoom, QWidget *parent);

    int Zoom() const { return zoom_; }
    void SetZoom(int zoom);
    std::optional<std::uint32_t> BlockAt(QPoint p) const;
    QPoint CentreOf(std::uint32_t block) const;
    // The hover text of a block.
    QString BlockText(std::uint32_t block) const;

    // A click on a block (UI thread): its bank and first byte's offset. It may run a modal view;
    // the map may be gone when it returns.
    std::function<void(std::uint32_t bank, std::uint32_t offset)> onBlockChosen;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    const ops::BankTally bank_;
    QImage map_;
    int columns_;
    int zoom_;
};
