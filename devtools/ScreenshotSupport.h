// What the screenshot tools share: the program's UI started as the program starts it, with the
// simulated board open; a window drawn with a plain caption bar above it; the PNG written where
// asked.
#pragma once

#include "board/pel2ctl.h"

#include <QApplication>
#include <QImage>
#include <QString>

class QWidget;

// Offscreen unless a platform is named; Japanese texts, the UI thread, the templates, the
// classic look, and board 0 opened with the program's callbacks (closed again at the end).
class ScreenshotSession {
public:
    ScreenshotSession(int &argc, char **argv);
    ~ScreenshotSession();
    ScreenshotSession(const ScreenshotSession &) = delete;
    ScreenshotSession &operator=(const ScreenshotSession &) = delete;

    bool ok() const { return board != BOARD_INVALID_HANDLE; }
    QString dir;                             // where the shots go (the first argument, or ".")
    BoardHandle board = BOARD_INVALID_HANDLE;

private:
    struct Platform {
        Platform();
    } platform_; // before the application
    QApplication app_;
};

// The window as it draws itself now, under a caption bar with its title.
QImage WithCaption(QWidget *w);
// Writes OUTPUT_DIR/name.png and prints its path (or says on stderr that it could not).
void SaveShot(const QImage &image, const QString &dir, const QString &name);
