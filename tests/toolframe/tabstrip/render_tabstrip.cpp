// Renders the tab strip to PNG files for a look at it:
//   render_tabstrip [output folder]   (default: ./tabstrip-render)
// strip_overflow.png: a 1024-pixel strip holding more tabs than fit, so the
// arrow shows; strip_marks.png: a few tabs, one under a drop and one with its
// close button hovered; strip_menu.png: the overflow menu.
// Exits non-zero when a picture could not be written.
//
//   render_tabstrip --two-windows [seconds]
// instead shows two strips as windows at (0, 0) and (0, 200), 1024 x 42,
// and prints what they report, so tabs can be dragged between them by hand
// or with xdotool under Xvfb.
#include "CArrowItem.h"
#include "CTabItem.h"
#include "CTabScene.h"
#include "CTabView.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QMenu>
#include <QTimer>
#include <cstdio>

#ifdef HAVE_TOOLKIT_IMAGES
#include "Toolkit.h"
#endif

namespace {

struct Row {
    const char *text;
    const char *icon;
    int type;
};

// Tab texts and icons of the shell's pages.
const Row kRows[] = {
    {"Control Panel", "ico_Control-Panel.png", 1},
    {"TBX-ARCH", "TBX_ARCH.png", 10},
    {"TBX-ZELT", "TBX_ZELT.png", 2},
    {"TBX-CAMC", "TBX_CAMC.png", 3},
    {"TBX-CLIP", "TBX_CLIP.png", 11},
    {"TBX-FWUP", "TBX_FWUP.png", 12},
    {"TBX-STOR", "STOR.png", 4},
    {"TBX-LINK", "LINK.png", 5},
    {"TBX-FOCA", "TBX_FOCA.png", 6},
    {"TBX-OPTK", "TBX_OPTK.png", 7},
    {"TBX-BULK", "Bulk.png", 8},
    {"TBX-TASK", "calculate32.png", 9},
};

// The page frame's tab container around a view of the scene.
QFrame *MakeContainer(CTabScene *pScene)
{
    auto *pTop = new QFrame;
    pTop->setObjectName("pTopFrame");
    pTop->setFixedSize(1024, 42);
    pTop->setStyleSheet("QGraphicsView,QFrame#pTopFrame{background-image:url(:/images/Tab/tab_bg.png); border:none;}");
    auto *pLayout = new QGridLayout(pTop);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(new CTabView(pScene, pTop));
    return pTop;
}

void AddTabs(CTabScene &scene, int iCount)
{
    for (int i = 0; i < iCount; ++i) {
        const Row &row = kRows[i];
        scene.InsertTab(-1, QIcon(QStringLiteral(":images/Tab/") + QString::fromLatin1(row.icon)),
                        QString::fromLatin1(row.text), row.type);
    }
    scene.SetTabPinned(0, true);
}

bool Save(const QPixmap &pixmap, const QString &strPath)
{
    const bool bOk = !pixmap.isNull() && pixmap.save(strPath);
    std::printf("%s %s (%dx%d)\n", bOk ? "wrote" : "FAILED", qPrintable(strPath), pixmap.width(), pixmap.height());
    return bOk;
}

void Report(CTabScene &scene, const char *pName)
{
    auto print = [&scene, pName](const QString &strWhat) {
        QStringList texts;
        for (int i = 0; i < scene.Count(); ++i)
            texts << scene.TabText(i) + "=" + scene.TabData(i).toString();
        std::printf("%s %s | current %d | %s\n", pName, qPrintable(strWhat), scene.CurrentIndex(),
                    qPrintable(texts.join(' ')));
        std::fflush(stdout);
    };
    QObject::connect(&scene, &CTabScene::SignalTabMoved, &scene,
                     [print](int iFrom, int iTo) { print(QString("moved %1->%2").arg(iFrom).arg(iTo)); });
    QObject::connect(&scene, &CTabScene::SignalTabDragAdded, &scene,
                     [print](int iIndex) { print(QString("drag-added %1").arg(iIndex)); });
    QObject::connect(&scene, &CTabScene::SignalDragLeaveTabBar, &scene,
                     [print, &scene] { print("drag-leave type " + scene.DraggedData().toString()); });
    QObject::connect(&scene, &CTabScene::SignalDragOutTabBar, &scene,
                     [print, &scene] { print("drag-out type " + scene.DraggedData().toString()); });
    QObject::connect(&scene, &CTabScene::SignalTabAboutToClose, &scene, [print, &scene](int iIndex) {
        print(QString("close %1").arg(iIndex));
        scene.RemoveTab(iIndex);
    });
}

int TwoWindows(QApplication &app, int iSeconds)
{
    CTabScene first, second;
    QFrame *pFirst = MakeContainer(&first);
    QFrame *pSecond = MakeContainer(&second);
    pFirst->move(0, 0);
    pSecond->move(0, 200);
    pFirst->show();
    pSecond->show();
    AddTabs(first, 12);
    AddTabs(second, 2);
    first.SetCurrentIndex(1);
    second.SetCurrentIndex(0);
    Report(first, "first");
    Report(second, "second");
    std::printf("ready\n");
    std::fflush(stdout);
    QTimer::singleShot(iSeconds * 1000, &app, &QApplication::quit);
    const int iResult = app.exec();
    delete pFirst;
    delete pSecond;
    return iResult;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
#ifdef HAVE_TOOLKIT_IMAGES
    if (!Toolkit::InitResources())
        std::printf("toolkit images not reachable; drawing without them\n");
#else
    std::printf("built without the toolkit; drawing without images\n");
#endif
    if (argc > 1 && QByteArray(argv[1]) == "--two-windows")
        return TwoWindows(app, argc > 2 ? QByteArray(argv[2]).toInt() : 30);
    const QString strOut = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("tabstrip-render");
    QDir().mkpath(strOut);
    bool bOk = true;

    CTabScene overflow;
    QFrame *pOverflow = MakeContainer(&overflow);
    pOverflow->show();
    AddTabs(overflow, 12);
    overflow.SetCurrentIndex(2);
    QApplication::processEvents();
    bOk &= Save(pOverflow->grab(), strOut + "/strip_overflow.png");

    CTabScene marks;
    QFrame *pMarks = MakeContainer(&marks);
    pMarks->show();
    AddTabs(marks, 4);
    marks.SetCurrentIndex(1);
    marks.TabItem(2)->SetPutFront(true);
    marks.TabItem(2)->SetDragOver(true);
    QApplication::processEvents();
    bOk &= Save(pMarks->grab(), strOut + "/strip_marks.png");

    // The menu as the arrow opens it.
    overflow.OverflowMenu()->popup(QPoint(800, 60));
    QApplication::processEvents();
    bOk &= Save(overflow.OverflowMenu()->grab(), strOut + "/strip_menu.png");
    overflow.OverflowMenu()->hide();

    delete pOverflow;
    delete pMarks;
    return bOk ? 0 : 1;
}
