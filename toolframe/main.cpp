#include <QScreen>

#include "COrviApplication.h"
#include "CTBX.h"
#include "CWarnDlg.h"

int main(int argc, char *argv[])
{
    COrviApplication app(argc, argv, QStringLiteral("TBX"));

    if (app.IsRunning()) {
        CWarnDlg dlg(nullptr);
        dlg.ExecMsg(QCoreApplication::translate("main", "TBX"),
                    QCoreApplication::translate("main", "Software is already running."));
        return 0;
    }

    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || screen->size().width() < 1024 || screen->size().height() < 768) {
        CWarnDlg dlg(nullptr);
        dlg.ExecMsg(QCoreApplication::translate("main", "Hint"),
                    QCoreApplication::translate("main", "The least resolution is 1024*768."));
        return 0;
    }

    // Sources and translations are UTF-8 throughout.
    CTBX w(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    w.show();
    return app.exec();
}
