#include "ScreenshotSupport.h"

#include "framework/Look.h"

#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

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
