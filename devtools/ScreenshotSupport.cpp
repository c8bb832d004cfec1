#include "ScreenshotSupport.h"

#include "app/BoardCallbacks.h"
#include "framework/Language.h"
#include "framework/Look.h"
#include "framework/UiThread.h"
#include "res/Templates.h"
#include "session/RequestBuffers.h"

#include <QDir>

#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

ScreenshotSession::Platform::Platform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

ScreenshotSession::ScreenshotSession(int &argc, char **argv) : app_(argc, argv)
{
    dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);
    fw::UseJapanese();
    fw::initUiThread();
    res::RegisterTemplates(); // the framework knows no template of its own
    fw::InitClassicLook();
    void *first = nullptr, *second = nullptr;
    uint32_t error = 0;
    board = BoardOpen(0, ImageTransferHook, ScanBufferFreeCallback, DspInterruptCallback,
                      ScanEndCallback, &first, &second, &error);
    if (board == BOARD_INVALID_HANDLE)
        std::fprintf(stderr, "BoardOpen failed: %u\n", error);
    else
        session::BoardOpened(board); // the tools' deliveries go through the board's delivery object
}

ScreenshotSession::~ScreenshotSession()
{
    if (board != BOARD_INVALID_HANDLE && BoardClose(board) == 0)
        session::BoardClosed(board);
    fw::shutdownUiThread();
}

QImage WithCaption(QWidget *w)
{
    const QPixmap body = w->grab();
    const int bar = 22;
    QImage out(body.width() + 2, body.height() + bar + 1, QImage::Format_RGB32);
    out.fill(QColor(0x80, 0x80, 0x80));
    QPainter p(&out);
    p.fillRect(1, 1, body.width(), bar - 1, QColor(0x00, 0x00, 0x80));
    QFont font = fw::TemplateFont("ＭＳ Ｐゴシック", 9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(6, 1, body.width() - 8, bar - 1), Qt::AlignVCenter | Qt::AlignLeft,
               w->windowTitle());
    p.drawPixmap(1, bar, body);
    return out;
}

void SaveShot(const QImage &image, const QString &dir, const QString &name)
{
    const QString path = dir + "/" + name + ".png";
    if (!image.save(path))
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}
