#include "app/Pelora2App.h"

#include "app/Pelora2Dlg.h"
#include "framework/Language.h"
#include "framework/Look.h"
#include "framework/UiThread.h"
#include "res/Resources.h"
#include "res/Templates.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

CPelora2App g_theApp;

bool CPelora2App::InitInstance()
{
    // Dialog controls keep the classic look: light grey background, black text.
    fw::InitClassicLook();
    fw::setIconProvider([](int id) { return id == res::IDR_MAINFRAME ? res::AppIconPixmap(32) : QPixmap(); });
    QApplication::setWindowIcon(res::AppIcon());

    CPelora2Dlg dlg;
    dlg.DoModal();
    return false;
}

namespace {
bool haveDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}
} // namespace

int RunPelora2(int argc, char **argv)
{
    if (!haveDisplay()) {
        std::fprintf(stderr,
                     "Pelora2 is a desktop program and needs a display, but none is set "
                     "(DISPLAY is empty).\n"
                     "Start it from a desktop session, or on a virtual display:\n"
                     "    xvfb-run -a ./run\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelora2"));
    // The program ends when the start-up dialog's modal run returns, never because Qt saw its
    // last window go (that would end every running modal loop at once).
    QApplication::setQuitOnLastWindowClosed(false);
    if (!fw::UseJapanese())
        std::fprintf(stderr, "Qt's Japanese translation (package qt6-translations-l10n) was not "
                             "found; file dialogs and standard buttons stay in English.\n");
    fw::initUiThread();
    res::RegisterTemplates(); // the framework knows no template of its own
    g_theApp.InitInstance();
    fw::shutdownUiThread();
    return 0;
}
