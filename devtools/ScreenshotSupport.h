// What the screenshot tools share: a window drawn with a plain caption bar above it, and the
// PNG written where asked.
#pragma once

#include <QImage>
#include <QString>

class QWidget;

// The window as it draws itself now, under a caption bar with its title.
QImage WithCaption(QWidget *w);
// Writes OUTPUT_DIR/name.png and prints its path (or says on stderr that it could not).
void SaveShot(const QImage &image, const QString &dir, const QString &name);
