#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "COrviApplication.h"
#include "CTBX.h"
#include "CWarnDlg.h"
#include "ScreenFit.h"

// "toolbay.startup.info=true" in QT_LOGGING_RULES reports when the main
// window is up and the event loop runs (the package check waits for it),
// and when the window system first shows it (the Wayland check waits for
// that: a compositor maps a window only when it is configured).
Q_LOGGING_CATEGORY(lcStartup, "toolbay.startup", QtWarningMsg)

namespace {
class ExposeReport : public QObject
{
protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        auto *window = qobject_cast<QWindow *>(o);
        if (e->type() == QEvent::Expose && window && window->isExposed()) {
            const QSize device = window->size() * window->devicePixelRatio();
            qCInfo(lcStartup, "main window exposed on %s: %dx%d, %dx%d device pixels",
                   qPrintable(QGuiApplication::platformName()), window->width(), window->height(), device.width(),
                   device.height());
            window->removeEventFilter(this);
        }
        return false;
    }
};
} // namespace

int main(int argc, char *argv[])
{
    COrviApplication app(argc, argv, QStringLiteral("TBX"));

    if (app.IsRunning()) {
        CWarnDlg dlg(nullptr);
        dlg.ExecMsg(QCoreApplication::translate("main", "TBX"),
                    QCoreApplication::translate("main", "Software is already running."));
        return 0;
    }

    // Device pixels: a 1920 x 1080 screen at 150 % is 1280 x 720 logical
    // pixels, and the windows fit it.
    if (!ScreenFit::LargeEnough(QGuiApplication::primaryScreen())) {
        CWarnDlg dlg(nullptr);
        dlg.ExecMsg(QCoreApplication::translate("main", "Hint"),
                    QCoreApplication::translate("main", "The least resolution is 1024*768."));
        return 0;
    }

    // Sources and translations are UTF-8 throughout.
    CTBX w(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    ExposeReport exposed;
    if (lcStartup().isInfoEnabled()) {
        w.winId(); // the window handle, to watch
        w.windowHandle()->installEventFilter(&exposed);
    }
    w.show();
    QTimer::singleShot(0, &w, [&w] { qCInfo(lcStartup, "main window shown: %s", qPrintable(w.windowTitle())); });
    return app.exec();
}
