// Icon 128: the application icon, compiled in as PNGs at several sizes.
#include "res/Resources.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace res {

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/pelora/app_icon_%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap AppIconPixmap(int size) { return AppIcon().pixmap(size, size); }

} // namespace res
