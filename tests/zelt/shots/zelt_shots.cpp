// Renders the device-search tool with 24 devices to PNG files, the way the
// shell hosts it: small style inside a tab page, large style in a window
// of its own, the settings column collapsed, and in Chinese.
//
//   scripts/dev-build.sh zelt_shots
//   QT_QPA_PLATFORM=offscreen TOOLBAY_BIN_DIR=build/dev/bin build/dev/tests/zelt/shots/zelt_shots <out dir>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QToolButton>
#include <QTranslator>
#include <QTreeView>

#include "COrviStyle.h"
#include "Toolkit.h"
#include "ZeltTestSupport.h"

namespace {
ZeltTest::Plugin g_plugin;
bool Refresh()
{
    return true;
}

void Settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void Shot(QWidget *w, const QString &path)
{
    Settle();
    w->grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

void ClickRow(QTreeView *table, int row)
{
    const QPoint pos = table->visualRect(table->model()->index(row, 1)).center();
    QWidget *vp = table->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, pos, vp->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(vp, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, vp->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(vp, &release);
}
} // namespace

int main(int argc, char **argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("zelt.*.debug=false"));
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    // The shell's look: its style and application style sheet.
    QApplication::setFont(QFont(QStringLiteral("Arial"), 10));
    QApplication::setStyle(new COrviStyle);
    app.setStyleSheet(Toolkit::ApplicationStyleSheet());

    if (!g_plugin.Load()) {
        std::fprintf(stderr, "%s\n", qPrintable(g_plugin.error));
        return 1;
    }
    // The tab page of the shell's main window (small style).
    QWidget page;
    auto *layout = new QGridLayout(&page);
    layout->setContentsMargins(0, 0, 0, 0);
    page.resize(1280, 800);
    page.show();
    if (!g_plugin.open(&page, layout, false, nullptr, nullptr, Refresh))
        return 1;
    g_plugin.changeSize(false);

    const char *types[] = {"ZC-2042", "ZN-7608", "ZE-1104", "ZC-2347"};
    for (int i = 0; i < 24; ++i) {
        ZELT_DEVICE_EVENT ev = ZeltTest::MakeEvent(1, i + 1);
        ZeltTest::Put(ev.szIPv4Address, QByteArray("192.168.1.") + QByteArray::number(64 + i * 3));
        ZeltTest::Put(ev.szIPv4Gateway, "192.168.1.1");
        ZeltTest::Put(ev.szIPv4SubnetMask, "255.255.255.0");
        ZeltTest::Put(ev.szDeviceType, types[i % 4]);
        ev.dwChannels = (i % 4 == 1) ? 16 : 1;
        ev.byActivated = i % 7 == 3 ? 1 : 0;
        ev.byDhcp = i % 5 == 2 ? 1 : 0;
        ev.wHttpPort = i % 9 == 4 ? 0 : 80;
        if (i % 6 == 5)
            ev.byExtendInfo = 0;
        g_plugin.callBack(&ev);
    }
    auto *table = page.findChild<QTreeView *>(QStringLiteral("tableWidgetDevice"));
    if (!table) {
        std::fprintf(stderr, "the tool is not inside the page\n");
        return 1;
    }
    QWidget *wnd = page.findChild<QWidget *>(QStringLiteral("CTBX_ZELTMainWndClass"));
    std::fprintf(stderr, "window: visible %d window %d %dx%d table %dx%d\n", wnd->isVisible(), wnd->isWindow(),
                 wnd->width(), wnd->height(), table->width(), table->height());
    ClickRow(table, 4);
    Shot(&page, out + QStringLiteral("/zelt-small.png"));

    auto *expand = page.findChild<QToolButton *>(QStringLiteral("m_pBtnExpand"));
    auto *shrink = page.findChild<QToolButton *>(QStringLiteral("m_pBtnShrink"));
    expand->click();
    Shot(&page, out + QStringLiteral("/zelt-small-collapsed.png"));
    shrink->click();
    Shot(&page, out + QStringLiteral("/zelt-small-restored.png"));

    // Dragged out into a window of its own (large style, title shown).
    QWidget window;
    auto *wlayout = new QGridLayout(&window);
    wlayout->setContentsMargins(0, 0, 0, 0);
    window.resize(1280, 860);
    window.show();
    g_plugin.open(&window, wlayout, true, nullptr, nullptr, Refresh);
    g_plugin.changeSize(true);
    ClickRow(table, 3); // an inactive device
    Shot(&window, out + QStringLiteral("/zelt-large.png"));

    // Multi-row selection in the large style.
    table->selectionModel()->select(QItemSelection(table->model()->index(5, 0), table->model()->index(8, 21)),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QPoint pos = table->visualRect(table->model()->index(8, 1)).center();
    QMouseEvent release(QEvent::MouseButtonRelease, pos, table->viewport()->mapToGlobal(pos), Qt::LeftButton,
                        Qt::NoButton, {});
    QApplication::sendEvent(table->viewport(), &release);
    Shot(&window, out + QStringLiteral("/zelt-large-batch.png"));

    // Chinese.
    QTranslator zh;
    if (zh.load(qEnvironmentVariable("TOOLBAY_BIN_DIR") + QStringLiteral("/translations/ZELT_zh.qm")))
        QCoreApplication::installTranslator(&zh);
    ClickRow(table, 4);
    Shot(&window, out + QStringLiteral("/zelt-large-zh.png"));
    g_plugin.open(&page, layout, false, nullptr, nullptr, Refresh);
    g_plugin.changeSize(false);
    Shot(&page, out + QStringLiteral("/zelt-small-zh.png"));
    return 0;
}
