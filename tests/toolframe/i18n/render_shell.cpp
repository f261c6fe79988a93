// Screenshots of the shell for a look at it in a language:
//   render_shell <output folder> <1024|1280>
// Runs the real start-up (COrviApplication), so the language, tools and
// translations come from the program directory the binary sits in: copy it
// into a scratch directory with "Setup.xml", "Config.xml", translations/ and
// tool libraries. Needs a real display (xvfb-run); grabs the whole screen
// after each step: main window, control panel hover, the three menus, the
// About box, the close confirmation, many tabs with the overflow menu, and
// the entry point's message box. Exits non-zero if a picture was not saved.
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "CBaseDragFrame.h"
#include "CControlPanelFrame.h"
#include "COrviApplication.h"
#include "CTBX.h"
#include "CTabScene.h"
#include "CViewStoregeManager.h"
#include "CWarnDlg.h"
#include "CWindowTitle.h"

namespace {
QString g_dir;
int g_failures = 0;

void grab(const QString &name)
{
    QApplication::processEvents();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    const QString path = g_dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (shot.isNull() || !shot.save(path)) {
        std::fprintf(stderr, "render_shell: could not write %s\n", qPrintable(path));
        ++g_failures;
    } else {
        std::printf("%s\n", qPrintable(path));
    }
}

// Grabs the modal box that the next call opens, then closes it.
void grabNextModal(const QString &name)
{
    QTimer::singleShot(600, [name] {
        grab(name);
        if (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
}
} // namespace

int main(int argc, char **argv)
{
    COrviApplication app(argc, argv, QStringLiteral("TBX-render-%1").arg(QCoreApplication::applicationPid()));
    if (argc < 3) {
        std::fprintf(stderr, "usage: render_shell <output folder> <1024|1280>\n");
        return 2;
    }
    g_dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_dir);
    const bool big = QByteArray(argv[2]) == "1280";

    auto *main = new CTBX(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    main->show();
    CBaseDragFrame *frame = main->MainFrame();
    CWindowTitle *title = frame->Title();
    QMenuBar *bar = title->MenuBar();
    CTabScene *scene = frame->TabScene();

    QList<std::function<void()>> steps;
    if (big)
        steps << [title] { title->SizeAction(258)->trigger(); };
    steps << [] { grab(QStringLiteral("01-main")); };
    steps << [] {
        auto *panel = qobject_cast<CControlPanelFrame *>(CViewStoregeManager::Instance()->FindPage(1));
        if (panel && panel->OperationList()->count() > 1)
            emit panel->OperationList()->itemEntered(panel->OperationList()->item(1));
    };
    steps << [] { grab(QStringLiteral("02-panel-hover")); };
    for (int i = 0; i < 3; ++i) {
        steps << [bar, i] { bar->setActiveAction(bar->actions().at(i)); };
        steps << [bar, i] {
            grab(QStringLiteral("03-menu-%1").arg(i));
            bar->actions().at(i)->menu()->hide();
        };
    }
    steps << [title] {
        grabNextModal(QStringLiteral("04-about"));
        QMetaObject::invokeMethod(title, "OnAbout");
    };
    steps << [main] {
        grabNextModal(QStringLiteral("05-confirm-close"));
        main->close();
    };
    steps << [] {
        for (int t : {3, 4, 6, 7, 8, 9, 10, 11, 12, 2})
            CViewStoregeManager::Instance()->ShowPage(t);
    };
    steps << [] { grab(QStringLiteral("06-many-tabs")); };
    steps << [scene] { QMetaObject::invokeMethod(scene, "OnArrowClicked"); };
    steps << [scene] {
        grab(QStringLiteral("07-overflow-menu"));
        scene->OverflowMenu()->hide();
    };
    steps << [] {
        grabNextModal(QStringLiteral("08-already-running"));
        CWarnDlg dlg(nullptr);
        dlg.ExecMsg(QCoreApplication::translate("main", "TBX"),
                    QCoreApplication::translate("main", "Software is already running."));
    };
    steps << [] {
        grabNextModal(QStringLiteral("09-least-resolution"));
        CWarnDlg dlg(nullptr);
        dlg.ExecMsg(QCoreApplication::translate("main", "Hint"),
                    QCoreApplication::translate("main", "The least resolution is 1024*768."));
    };
    steps << [] { QCoreApplication::exit(g_failures ? 1 : 0); };

    // One step every 700 ms, so windows are mapped and painted in between;
    // a step that runs a modal box holds the next one back until it returns.
    auto *timer = new QTimer(&app);
    timer->setSingleShot(true);
    int next = 0;
    QObject::connect(timer, &QTimer::timeout, [&] {
        if (next < steps.size())
            steps[next++]();
        timer->start(700);
    });
    timer->start(700);
    const int rc = app.exec();
    timer->stop();
    delete main;
    return rc ? rc : (g_failures ? 1 : 0);
}
