// The panel library's entry: libPEL2CTL calls SimPanelAttach (from BoardOpen, any thread) when
// PELORA_SIM_PANEL is set and Qt Widgets runs in the process.
#include "SimPanel.h"

#include <QApplication>
#include <QPointer>

namespace {

// UI thread only: the window, made on the first request, deleted as the application ends.
QPointer<simpanel::SimPanel> &panel()
{
    static QPointer<simpanel::SimPanel> window;
    return window;
}

// Runs inside ~QApplication, before Qt's windows go: the panel must not outlive it.
void dropPanel()
{
    delete panel().data();
}

// UI thread (queued on the application object).
void showPanel()
{
    if (panel().isNull()) {
        panel() = new simpanel::SimPanel;
        qAddPostRoutine(dropPanel);
    }
    panel()->refresh();
    panel()->show(); // not raised: it must not cover the program's windows on every open
}

} // namespace

extern "C" __attribute__((visibility("default"))) int SimPanelAttach(void)
{
    // Widgets need a QApplication; a plain QCoreApplication (or none yet) gets no panel.
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (app == nullptr)
        return -1;
    QMetaObject::invokeMethod(app, &showPanel, Qt::QueuedConnection);
    return 0;
}
