// The real plug-in library, loaded the way the shell loads it, driven
// through its three entry points on the GUI thread.

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QTreeView>
#include <QUrl>
#include <QtTest>

#include "ZeltTestSupport.h"
#include "ZeltTestWidgets.h"
#include "vela.h"

using ZeltTest::MakeEvent;

namespace {
int g_refreshCalls = 0;
bool FakeRefresh()
{
    ++g_refreshCalls;
    return true;
}
bool FakeModify(const char *, const char *, const char *, const char *, const char *, const char *, const char *,
                const char *, const char *, unsigned char, unsigned char)
{
    return false;
}
bool FakeReset(int32_t, int32_t)
{
    return false;
}

enum Col {
    ColId = 0,
    ColType = 1,
    ColIPv4 = 2,
    ColSafety = 3,
    ColPort = 4,
    ColGateway = 6,
    ColHttp = 7,
    ColSerial = 8,
    ColMask = 9,
    ColMac = 10,
    ColChannels = 11,
    ColIPv6 = 14,
    ColPrefix = 16,
    ColSupIPv6 = 17,
    ColSupMod = 18,
    ColSupDhcp = 19,
    ColDhcp = 20,
    ColNew = 21,
    ColTrust = 22
};
} // namespace

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void handle(const QUrl &url) { urls.append(url); }
};

class ZeltPluginTest : public QObject
{
    Q_OBJECT

    ZeltTest::Plugin m_plugin;
    QWidget *m_host = nullptr;
    QGridLayout *m_layout = nullptr;
    QMainWindow *m_wnd = nullptr;
    QTreeView *m_table = nullptr;
    QAbstractItemModel *m_model = nullptr;
    UrlCatcher m_urls;
    int m_refreshAtOpen = -1;

    void Send(const ZELT_DEVICE_EVENT &ev) { m_plugin.callBack(&ev); }
    void Online(int i) { Send(MakeEvent(1, i)); }
    QString Cell(int row, int col) const { return m_model->index(row, col).data().toString(); }
    template <typename T>
    T *W(const char *name) const
    {
        return ZeltTest::Child<T>(m_wnd, name);
    }
    QPoint CellPos(int row, int col) const { return m_table->visualRect(m_model->index(row, col)).center(); }
    void ClickRow(int row, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, mods, CellPos(row, ColType));
    }
    void ClickHeader(int section)
    {
        QHeaderView *h = m_table->header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(section) + 10, h->height() / 2));
    }
    // Press, release, double click, release: what a real double click
    // delivers to the view.
    void DoubleClick(int row, int col)
    {
        QWidget *vp = m_table->viewport();
        const QPointF pos = CellPos(row, col);
        const QPointF global = vp->mapToGlobal(pos);
        auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
            QMouseEvent ev(type, pos, global, Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(vp, &ev);
        };
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
        send(QEvent::MouseButtonDblClick, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
    }
    int RowOf(const QString &serial) const
    {
        for (int r = 0; r < m_model->rowCount(); ++r)
            if (Cell(r, ColSerial) == serial)
                return r;
        return -1;
    }
    // Closes the next modal dialog and reports what it was.
    struct ModalProbe {
        bool seen = false;
        bool pluginEdition = false;
        bool shellTitle = false;
        int width = 0;
        QString text;
    };
    void ProbeNextModal(ModalProbe *probe)
    {
        auto *timer = new QTimer(this);
        timer->setInterval(20);
        connect(timer, &QTimer::timeout, this, [timer, probe] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            probe->seen = true;
            probe->pluginEdition = modal->findChild<QLabel *>(QStringLiteral("pLabelTitle")) != nullptr;
            probe->shellTitle = modal->findChild<QWidget *>(QStringLiteral("m_pTitleWidget")) != nullptr;
            probe->width = modal->width();
            for (QWidget *w : modal->findChildren<QWidget *>())
                if (w->metaObject()->className() == QByteArray("QTextBrowser"))
                    probe->text = w->property("plainText").toString();
            if (auto *dlg = qobject_cast<QDialog *>(modal))
                dlg->reject();
            else
                modal->close();
            timer->stop();
            timer->deleteLater();
        });
        timer->start();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_plugin.Load(), qPrintable(m_plugin.error));
        m_host = new QWidget;
        m_layout = new QGridLayout(m_host);
        m_host->resize(1500, 900);
        m_host->show();
        QVERIFY(m_plugin.open(m_host, m_layout, true, FakeModify, FakeReset, FakeRefresh));
        m_refreshAtOpen = g_refreshCalls;
        m_wnd = m_host->findChild<QMainWindow *>(QStringLiteral("CTBX_ZELTMainWndClass"));
        QVERIFY(m_wnd);
        QVERIFY(!m_wnd->isWindow());
        QVERIFY(m_wnd->isVisible());
        m_table = m_wnd->findChild<QTreeView *>(QStringLiteral("tableWidgetDevice"));
        QVERIFY(m_table);
        m_model = m_table->model();
        QVERIFY(QTest::qWaitForWindowExposed(m_host));
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "handle");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_urls, "handle");
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    void cleanup()
    {
        // Every device goes offline; the table must end empty.
        for (int r = m_model->rowCount() - 1; r >= 0; --r) {
            ZELT_DEVICE_EVENT ev = MakeEvent(3, 0);
            ZeltTest::Put(ev.szSerialNO, Cell(r, ColSerial).toLatin1());
            ZeltTest::Put(ev.szMAC, Cell(r, ColMac).toLatin1());
            Send(ev);
        }
        QTRY_COMPARE(m_model->rowCount(), 0);
        m_table->clearSelection();
        m_urls.urls.clear();
    }

    void exportsOnlyEntryPoints()
    {
        QProcess nm;
        nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), m_plugin.path});
        QVERIFY(nm.waitForFinished(30000));
        QCOMPARE(nm.exitCode(), 0);
        QSet<QString> names;
        const QStringList lines = QString::fromLatin1(nm.readAllStandardOutput()).split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (parts.size() >= 3)
                names.insert(parts.at(2));
        }
        const QSet<QString> expected{QStringLiteral("TBX_ZELT_OpenDialog"), QStringLiteral("TBX_ZELT_ChangeSize"),
                                     QStringLiteral("TBX_ZELT_CallBack")};
        QCOMPARE(names, expected);
    }

    void openTwiceGivesOneWindow()
    {
        QWidget host2;
        auto *layout2 = new QGridLayout(&host2);
        QVERIFY(m_plugin.open(&host2, layout2, false, FakeModify, FakeReset, FakeRefresh));
        QCOMPARE(layout2->itemAtPosition(0, 0)->widget(), m_wnd);
        QCOMPARE(m_wnd->parentWidget(), &host2);
        QVERIFY(!m_wnd->isWindow()); // a child of the host, not a window beside it
        QWidget *title = m_wnd->findChild<QWidget *>(QStringLiteral("m_pTitle"));
        QVERIFY(title);
        QVERIFY(title->isHidden());
        // Back into the first host, title shown.
        QVERIFY(m_plugin.open(m_host, m_layout, true, FakeModify, FakeReset, FakeRefresh));
        QCOMPARE(m_layout->itemAtPosition(0, 0)->widget(), m_wnd);
        QCOMPARE(m_wnd->parentWidget(), m_host);
        QVERIFY(!m_wnd->isWindow());
        QVERIFY(!title->isHidden());
        QCOMPARE(m_host->findChildren<QMainWindow *>(QStringLiteral("CTBX_ZELTMainWndClass")).size(), 1);
        QCOMPARE(host2.findChildren<QMainWindow *>().size(), 0);
        QCOMPARE(g_refreshCalls, m_refreshAtOpen); // the panel is built only once
    }

    void packetCaptureDecidesStart()
    {
        const bool capture = Vela_LoadDSo("PACKET.dll") != nullptr;
        QCOMPARE(m_refreshAtOpen, capture ? 1 : 0);
        QCOMPARE(m_table->isColumnHidden(ColNew), capture);
        QCOMPARE(W<QWidget>("widgetBatch")->isHidden(), capture);
        const int before = g_refreshCalls;
        QTest::mouseClick(W<QPushButton>("pushButtonManualUpdate"), Qt::LeftButton);
        QCOMPARE(g_refreshCalls, before + 1);
    }

    void onlineRowsFillAllColumns()
    {
        QCOMPARE(m_model->columnCount(), 23);
        const QStringList headers{"ID",
                                  "Device Type",
                                  "IPv4 Address",
                                  "Safety state",
                                  "Port",
                                  "Soft Vision",
                                  "IPv4 GateWay",
                                  "Http Port",
                                  "Serial Number",
                                  "IPv4 Mask",
                                  "MAC",
                                  "Channel NO",
                                  "DSP Vision",
                                  "Start Time",
                                  "IPv6 Address",
                                  "IPv6 GateWay",
                                  "IPv6 Prefix Length",
                                  "Is Support IPv6",
                                  "Is Support Mod IPv6",
                                  "Is Support DHCP",
                                  "IPv4 DHCP",
                                  "New",
                                  "Trust"};
        for (int c = 0; c < 23; ++c)
            QCOMPARE(m_model->headerData(c, Qt::Horizontal).toString(), headers.at(c));
        QCOMPARE(m_table->columnWidth(ColSerial), 230);
        QCOMPARE(m_table->columnWidth(ColId), 50);

        ZELT_DEVICE_EVENT a = MakeEvent(1, 1);
        a.byActivated = 1;
        a.bySupport = 0x20 | 0x04;
        a.byDhcp = 1;
        a.dwPort = 37777;
        a.dwChannels = 4;
        Send(a);
        Send(MakeEvent(4, 2)); // kind 4 is an online event as well
        QCOMPARE(m_model->rowCount(), 2);
        QCOMPARE(Cell(0, ColId), QStringLiteral("001"));
        QCOMPARE(Cell(1, ColId), QStringLiteral("002"));
        QCOMPARE(Cell(0, ColType), QStringLiteral("ZC-2042"));
        QCOMPARE(Cell(0, ColIPv4), QStringLiteral("10.0.0.1"));
        QCOMPARE(Cell(0, ColSafety), QStringLiteral("Inactive"));
        QCOMPARE(Cell(1, ColSafety), QStringLiteral("Active"));
        QCOMPARE(Cell(0, ColPort), QStringLiteral("37777"));
        QCOMPARE(Cell(1, ColPort), QStringLiteral(" 8000"));
        QCOMPARE(Cell(0, ColHttp), QStringLiteral("80"));
        QCOMPARE(Cell(0, ColSerial), QStringLiteral("ZC-100001"));
        QCOMPARE(Cell(0, ColMac), QStringLiteral("02-00-00-00-00-01"));
        QCOMPARE(Cell(0, ColChannels), QStringLiteral(" 4"));
        QCOMPARE(Cell(0, ColMask), QStringLiteral("255.255.0.0"));
        QCOMPARE(Cell(0, ColGateway), QStringLiteral("10.0.0.1"));
        // Bit 0 clear: no IPv6 support, so the IPv6 cells stay empty.
        QCOMPARE(Cell(0, ColSupIPv6), QStringLiteral("No"));
        QCOMPARE(Cell(0, ColIPv6), QString());
        QCOMPARE(Cell(0, ColPrefix), QString());
        QCOMPARE(Cell(0, ColSupDhcp), QStringLiteral("Yes"));
        QCOMPARE(Cell(0, ColSupMod), QStringLiteral("No"));
        QCOMPARE(Cell(0, ColNew), QStringLiteral("Yes"));
        QCOMPARE(Cell(0, ColDhcp), QStringLiteral("ON"));
        QCOMPARE(Cell(1, ColIPv6), QStringLiteral("fd00::10"));
        QCOMPARE(Cell(1, ColPrefix), QStringLiteral("64"));
        QCOMPARE(Cell(1, ColDhcp), QStringLiteral("OFF"));
        QCOMPARE(W<QLabel>("m_pLabelCount")->text(), QStringLiteral("2"));

        // Only the serial cell can be edited (to copy its text).
        for (int c = 0; c < 23; ++c)
            QCOMPARE(bool(m_model->flags(m_model->index(0, c)) & Qt::ItemIsEditable), c == ColSerial);

        // The same device again is a second row.
        Send(MakeEvent(1, 2));
        QCOMPARE(m_model->rowCount(), 3);
        QCOMPARE(Cell(2, ColSerial), Cell(1, ColSerial));
        QCOMPARE(Cell(2, ColId), QStringLiteral("003"));
    }

    void oddKindsChangeNothing()
    {
        Online(1);
        Online(2);
        auto snapshot = [this] {
            QStringList cells;
            for (int r = 0; r < m_model->rowCount(); ++r)
                for (int c = 0; c < m_model->columnCount(); ++c)
                    cells << Cell(r, c);
            return cells;
        };
        const QStringList before = snapshot();
        for (int kind : {0, 5, -1, 1000}) {
            // Same serial and MAC as a listed device, other contents.
            ZELT_DEVICE_EVENT ev = MakeEvent(kind, 2);
            ZeltTest::Put(ev.szIPv4Address, "172.31.0.9");
            Send(ev);
        }
        m_plugin.callBack(nullptr);
        QCoreApplication::processEvents();
        QCOMPARE(m_model->rowCount(), 2);
        QCOMPARE(snapshot(), before);
        QCOMPARE(W<QLabel>("m_pLabelCount")->text(), QStringLiteral("2"));
    }

    // Text fields without a terminator are read up to their width and never
    // past it; such a record is listed like any other.
    void unterminatedTextsStayWithinTheirFields()
    {
        Online(1);
        ZELT_DEVICE_EVENT junk;
        std::memset(&junk, 'A', sizeof junk);
        junk.iEventKind = 1;
        Send(junk);
        QCOMPARE(m_model->rowCount(), 2);
        QCOMPARE(Cell(1, ColSerial), QString(48, QLatin1Char('A')));
        QCOMPARE(Cell(1, ColMac), QString(20, QLatin1Char('A')));
        QCOMPARE(Cell(1, ColIPv4), QString(16, QLatin1Char('A')));
        QCOMPARE(Cell(1, ColType), QString(24, QLatin1Char('A')));
        ZELT_DEVICE_EVENT gone = junk;
        gone.iEventKind = 3;
        Send(gone);
        QTRY_COMPARE(m_model->rowCount(), 1);
        // Unterminated serial (48 bytes) in an otherwise sound record still
        // reads as at most 48 characters.
        ZELT_DEVICE_EVENT full = MakeEvent(1, 9);
        std::memset(full.szSerialNO, 'S', sizeof full.szSerialNO);
        Send(full);
        QCOMPARE(m_model->rowCount(), 2);
        QCOMPARE(Cell(1, ColSerial), QString(48, QLatin1Char('S')));
    }

    void extendedInfoAbsentLeavesColumnsEmpty()
    {
        ZELT_DEVICE_EVENT ev = MakeEvent(1, 3);
        ev.byExtendInfo = 0;
        ev.wHttpPort = 0;
        Send(ev);
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(Cell(0, ColHttp), QStringLiteral("N/A"));
        QCOMPARE(Cell(0, ColIPv4), QStringLiteral("10.0.0.3"));
        QCOMPARE(Cell(0, ColSerial), QStringLiteral("ZC-100003"));
        QCOMPARE(Cell(0, ColGateway), QString());
        for (int c = 14; c <= 21; ++c)
            QCOMPARE(Cell(0, c), QString());
    }

    void updateChangesRowAndPanel()
    {
        Online(1);
        Online(2);
        ClickRow(1);
        QCOMPARE(W<QLineEdit>("lineEditIPAddr")->text(), QStringLiteral("10.0.0.2"));

        ZELT_DEVICE_EVENT up = MakeEvent(2, 2);
        ZeltTest::Put(up.szIPv4Address, "192.168.7.9");
        up.byActivated = 1;
        Send(up);
        QCOMPARE(m_model->rowCount(), 2);
        QCOMPARE(Cell(1, ColIPv4), QStringLiteral("192.168.7.9"));
        QCOMPARE(Cell(1, ColSafety), QStringLiteral("Inactive"));
        QCOMPARE(Cell(1, ColId), QStringLiteral("002"));
        QCOMPARE(Cell(0, ColIPv4), QStringLiteral("10.0.0.1"));
        // The selected row's panel follows.
        QCOMPARE(W<QLineEdit>("lineEditIPAddr")->text(), QStringLiteral("192.168.7.9"));
        QCOMPARE(W<QLabel>("label_163")->text(), QStringLiteral("Activate device"));

        // An update for a device that is not listed changes nothing.
        ZELT_DEVICE_EVENT stray = MakeEvent(2, 99);
        Send(stray);
        QCOMPARE(m_model->rowCount(), 2);
        QCOMPARE(Cell(0, ColSerial), QStringLiteral("ZC-100001"));
    }

    void offlineRenumbersInTableOrder()
    {
        for (int i : {5, 1, 4, 2, 3})
            Online(i);
        ClickHeader(ColIPv4); // ascending: .1 .2 .3 .4 .5
        QCOMPARE(Cell(0, ColIPv4), QStringLiteral("10.0.0.1"));
        QCOMPARE(Cell(0, ColId), QStringLiteral("002")); // IDs travel with their rows until a removal
        Send(MakeEvent(3, 2));
        Send(MakeEvent(3, 4));
        QTRY_COMPARE(m_model->rowCount(), 3);
        QStringList ips, ids;
        for (int r = 0; r < 3; ++r) {
            ips << Cell(r, ColIPv4);
            ids << Cell(r, ColId);
        }
        QCOMPARE(ips, QStringList({"10.0.0.1", "10.0.0.3", "10.0.0.5"}));
        QCOMPARE(ids, QStringList({"001", "002", "003"}));
        QCOMPARE(W<QLabel>("m_pLabelCount")->text(), QStringLiteral("3"));
        // An offline event for a device that is not listed changes nothing.
        Send(MakeEvent(3, 42));
        QTest::qWait(20);
        QCOMPARE(m_model->rowCount(), 3);
        // Duplicated rows of one device all go.
        Online(1);
        QCOMPARE(m_model->rowCount(), 4);
        Send(MakeEvent(3, 1));
        QTRY_COMPARE(m_model->rowCount(), 2);
        QCOMPARE(RowOf(QStringLiteral("ZC-100001")), -1);
    }

    void offlineThenOnlineOfSameDeviceKeepsTheNewRow()
    {
        Online(1);
        Online(2);
        // Offline and a fresh online in one go: the removal must apply to the
        // old row only.
        Send(MakeEvent(3, 2));
        Online(2);
        QTRY_COMPARE(m_model->rowCount(), 2);
        QTest::qWait(20);
        QCOMPARE(m_model->rowCount(), 2);
        QCOMPARE(Cell(1, ColSerial), QStringLiteral("ZC-100002"));
        QCOMPARE(Cell(1, ColId), QStringLiteral("002"));
    }

    void offlineOnEmptyTableKeepsPanelUsable()
    {
        Send(MakeEvent(3, 1));
        QTest::qWait(20);
        QCOMPARE(m_model->rowCount(), 0);
        Online(1);
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(Cell(0, ColId), QStringLiteral("001"));
    }

    void sortingOnlyOnHeaderClick()
    {
        const char *addresses[] = {"10.0.0.10", "9.255.255.255", "10.0.0.9", "10.0.0.0", "abc"};
        for (int i = 0; i < 5; ++i) {
            ZELT_DEVICE_EVENT ev = MakeEvent(1, 10 + i);
            ZeltTest::Put(ev.szIPv4Address, addresses[i]);
            Send(ev);
        }
        // Start from the panel's first state, column 0 ascending: a click on
        // another section sorts it ascending, a second click descending.
        QHeaderView *h = m_table->header();
        h->setSortIndicator(0, Qt::AscendingOrder);
        ClickHeader(ColIPv4);
        QCOMPARE(h->sortIndicatorSection(), int(ColIPv4));
        QCOMPARE(h->sortIndicatorOrder(), Qt::AscendingOrder);
        auto column = [this] {
            QStringList got;
            for (int r = 0; r < 5; ++r)
                got << Cell(r, ColIPv4);
            return got;
        };
        const QStringList ascending{"abc", "9.255.255.255", "10.0.0.0", "10.0.0.9", "10.0.0.10"};
        QCOMPARE(column(), ascending);
        ClickHeader(ColIPv4);
        QCOMPARE(h->sortIndicatorOrder(), Qt::DescendingOrder);
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        QCOMPARE(column(), descending);

        // A device found later is appended at the bottom until the next click.
        ZELT_DEVICE_EVENT late = MakeEvent(1, 30);
        ZeltTest::Put(late.szIPv4Address, "1.1.1.1");
        Send(late);
        QCOMPARE(Cell(5, ColIPv4), QStringLiteral("1.1.1.1"));
        QCOMPARE(Cell(5, ColId), QStringLiteral("006"));
    }

    void idColumnStaysFirst()
    {
        Online(1);
        QHeaderView *h = m_table->header();
        QCOMPARE(h->visualIndex(0), 0);
        QCOMPARE(h->visualIndex(ColTrust), 1); // the trust column next to it
        const int place3 = h->visualIndex(3), place5 = h->visualIndex(5);
        // Drag another column onto the first place: it springs back.
        QTest::mousePress(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(3) + 5, 5));
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(3) + 5, 5));
        QVERIFY(h->sectionsMovable());
        h->moveSection(h->visualIndex(3), 0);
        QCOMPARE(h->visualIndex(0), 0);
        QCOMPARE(h->logicalIndex(0), 0);
        QCOMPARE(h->visualIndex(3), place3);
        // A column moved elsewhere stays moved.
        h->moveSection(h->visualIndex(5), 2);
        QCOMPARE(h->logicalIndex(2), 5);
        // Pressing the ID header makes the sections immovable.
        QTest::mousePress(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(0) + 5, 5));
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(0) + 5, 5));
        QVERIFY(!h->sectionsMovable());
        h->moveSection(h->visualIndex(5), place5); // put it back for the other tests
        QCOMPARE(h->logicalIndex(place5), 5);
    }

    void selectionFillsPanel()
    {
        ZELT_DEVICE_EVENT plain = MakeEvent(1, 1);
        plain.bySupport = 0x07;
        Send(plain);
        ZELT_DEVICE_EVENT locked = MakeEvent(1, 2);
        locked.dwDeviceType = 0x9E00;
        Send(locked);
        ZELT_DEVICE_EVENT basic = MakeEvent(1, 3);
        basic.byExtendInfo = 0;
        basic.byDhcp = 1;
        basic.wHttpPort = 0;
        Send(basic);
        ZELT_DEVICE_EVENT edge = MakeEvent(1, 4);
        edge.dwDeviceType = 0x9FFF;
        Send(edge);
        ZELT_DEVICE_EVENT below = MakeEvent(1, 5);
        below.dwDeviceType = 0x9CFF;
        Send(below);

        auto *ip = W<QLineEdit>("lineEditIPAddr");
        auto *serial = W<QLineEdit>("lineEditSerial");
        auto *ipv6 = W<QLineEdit>("lineEditIPv6Addr");
        auto *gateway = W<QLineEdit>("lineEditIPGateway");
        auto *http = W<QLineEdit>("lineEditHttpPort");
        auto *modify = W<QPushButton>("pushButtonModifyNetwork");
        auto *dhcp = W<QCheckBox>("checkBoxDhcp");

        ClickRow(0);
        QCOMPARE(serial->text(), QStringLiteral("ZC-100001"));
        QCOMPARE(serial->cursorPosition(), 0);
        QCOMPARE(ip->text(), QStringLiteral("10.0.0.1"));
        QCOMPARE(W<QLineEdit>("lineEditIPMask")->text(), QStringLiteral("255.255.0.0"));
        QCOMPARE(W<QLineEdit>("lineEditPort")->text(), QStringLiteral("8000"));
        QCOMPARE(gateway->text(), QStringLiteral("10.0.0.1"));
        QCOMPARE(ipv6->text(), QStringLiteral("fd00::10"));
        QCOMPARE(W<QLineEdit>("lineEditIPv6Mask")->text(), QStringLiteral("64"));
        QCOMPARE(http->text(), QStringLiteral("80"));
        QVERIFY(ip->isEnabled());
        QVERIFY(ipv6->isEnabled()); // bit 1: IPv6 may be changed
        QVERIFY(http->isEnabled());
        QVERIFY(modify->isEnabled());
        QVERIFY(!dhcp->isChecked());
        QCOMPARE(W<QLabel>("label_7")->text(), QStringLiteral("IP Address:"));
        QCOMPARE(W<QLabel>("label_162")->text(), QStringLiteral("Modify Network parameters"));
        QCOMPARE(W<QLabel>("label_163")->text(), QStringLiteral("Reset Default Password"));

        ClickRow(1); // type 0x9E00 locks the panel
        QCOMPARE(serial->text(), QStringLiteral("ZC-100002"));
        QVERIFY(!ip->isEnabled());
        QVERIFY(!gateway->isEnabled());
        QVERIFY(!ipv6->isEnabled());
        QVERIFY(!modify->isEnabled());
        QVERIFY(!W<QPushButton>("pushButtonModifyPassword")->isEnabled());
        ClickRow(3); // 0x9FFF is the last locked code
        QVERIFY(!ip->isEnabled());
        ClickRow(4); // 0x9CFF is not locked
        QVERIFY(ip->isEnabled());
        QVERIFY(modify->isEnabled());

        ClickRow(2); // no extended information, DHCP on, no HTTP port
        QCOMPARE(ipv6->text(), QString());
        QVERIFY(!ipv6->isEnabled());
        QCOMPARE(gateway->text(), QString());
        QVERIFY(!gateway->isEnabled());
        QVERIFY(dhcp->isChecked());
        QVERIFY(!ip->isEnabled()); // DHCP gives the address
        QVERIFY(!http->isEnabled());

        // Release on empty space: nothing selected, panel off.
        m_table->clearSelection();
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, {}, QPoint(20, m_table->viewport()->height() - 5));
        QVERIFY(!ip->isEnabled());
        QCOMPARE(ip->text(), QString());
        QCOMPARE(serial->text(), QString());
    }

    void doubleClickOpensDevicePage()
    {
        ZELT_DEVICE_EVENT a = MakeEvent(1, 1);
        a.wHttpPort = 8080;
        Send(a);
        ZELT_DEVICE_EVENT b = MakeEvent(1, 2);
        b.wHttpPort = 0;
        Send(b);
        DoubleClick(0, ColIPv4);
        QCOMPARE(m_urls.urls.size(), 1);
        QCOMPARE(m_urls.urls.at(0), QUrl(QStringLiteral("http://10.0.0.1:8080")));
        // "N/A" is no port: the page is opened on the default port.
        DoubleClick(1, ColIPv4);
        QCOMPARE(m_urls.urls.size(), 2);
        QCOMPARE(m_urls.urls.at(1), QUrl(QStringLiteral("http://10.0.0.2")));
        // Other columns open nothing.
        DoubleClick(0, ColMac);
        QCOMPARE(m_urls.urls.size(), 2);
    }

    void serialEditIsUndone()
    {
        Online(1);
        Online(2);
        DoubleClick(0, ColSerial);
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = m_table->viewport()->findChild<QLineEdit *>()) != nullptr);
        QCOMPARE(editor->text(), QStringLiteral("ZC-100001"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("HACKED"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(Cell(0, ColSerial), QStringLiteral("ZC-100001"));
        // A later change elsewhere is not overwritten with the remembered text.
        DoubleClick(0, ColSerial);
        QTRY_VERIFY(m_table->viewport()->findChild<QLineEdit *>() != nullptr);
        QTest::keyClick(m_table->viewport()->findChild<QLineEdit *>(), Qt::Key_Escape);
        ZELT_DEVICE_EVENT up = MakeEvent(2, 2);
        ZeltTest::Put(up.szDeviceType, "ZC-9999");
        Send(up);
        QCOMPARE(Cell(1, ColType), QStringLiteral("ZC-9999"));
        QCOMPARE(Cell(1, ColSerial), QStringLiteral("ZC-100002"));
    }

    // The editor opened with F2 (no double click before it) is undone too;
    // the row keeps matching its device, in a sorted table as well.
    void serialEditWithTheKeyboardIsUndone()
    {
        for (int i : {3, 1, 2})
            Online(i);
        m_table->header()->setSortIndicator(0, Qt::AscendingOrder);
        ClickHeader(ColSerial); // ZC-100001, ZC-100002, ZC-100003
        QCOMPARE(Cell(0, ColSerial), QStringLiteral("ZC-100001"));
        m_host->activateWindow();
        QApplication::setActiveWindow(m_host);
        m_table->setFocus();
        m_table->setCurrentIndex(m_model->index(0, ColSerial));
        QTest::keyClick(m_table, Qt::Key_F2);
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = m_table->viewport()->findChild<QLineEdit *>()) != nullptr);
        QCOMPARE(editor->text(), QStringLiteral("ZC-100001"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("ZC-100002"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(m_table->viewport()->findChild<QLineEdit *>() == nullptr
                    || !m_table->viewport()->findChild<QLineEdit *>()->isVisible());
        QCOMPARE(Cell(0, ColSerial), QStringLiteral("ZC-100001"));

        // The panel shows the row's own device.
        ClickRow(0);
        QCOMPARE(W<QLineEdit>("lineEditSerial")->text(), QStringLiteral("ZC-100001"));
        QCOMPARE(W<QLineEdit>("lineEditIPAddr")->text(), QStringLiteral("10.0.0.1"));
        // And the row leaves with its device.
        Send(MakeEvent(3, 1));
        QTRY_COMPARE(m_model->rowCount(), 2);
        QCOMPARE(RowOf(QStringLiteral("ZC-100001")), -1);
    }

    void collapseKeepsFields()
    {
        Online(1);
        ClickRow(0);
        auto *frame = W<QFrame>("m_pSetFrame");
        auto *expand = W<QToolButton>("m_pBtnExpand");
        auto *shrink = W<QToolButton>("m_pBtnShrink");
        auto *pw = W<QLineEdit>("lineEditPort_Password");
        pw->setText(QStringLiteral("secret12"));
        QVERIFY(frame->isVisible());
        QVERIFY(shrink->isHidden());
        const int before = m_table->width();
        QTest::mouseClick(expand, Qt::LeftButton);
        QVERIFY(frame->isHidden());
        QVERIFY(expand->isHidden());
        QVERIFY(!shrink->isHidden());
        QTRY_VERIFY(m_table->width() > before);
        QTest::mouseClick(shrink, Qt::LeftButton);
        QVERIFY(frame->isVisible());
        QVERIFY(shrink->isHidden());
        QCOMPARE(pw->text(), QStringLiteral("secret12"));
        QCOMPARE(W<QLineEdit>("lineEditIPAddr")->text(), QStringLiteral("10.0.0.1"));
        pw->clear();
    }

    void changeSizeRestyles()
    {
        auto *about = W<QPushButton>("m_pBtnAbout");
        auto *zelt = W<QPushButton>("m_pBtnZelt");
        auto *tabFrame = W<QFrame>("pTabFrame");
        const QString largeAbout = about->styleSheet();
        const QString largeWindow = m_wnd->styleSheet();
        m_plugin.changeSize(true); // already large: nothing changes
        QCOMPARE(about->styleSheet(), largeAbout);
        QCOMPARE(m_wnd->styleSheet(), largeWindow);
        QVERIFY(largeWindow.contains(QStringLiteral("border-width:58;")));
        QVERIFY(zelt->styleSheet().contains(QStringLiteral("TabSelect.png")));
        QCOMPARE(zelt->iconSize(), QSize(32, 32));

        m_plugin.changeSize(false);
        QVERIFY(about->styleSheet().contains(QStringLiteral("SubTabUnselect.png")));
        QVERIFY(zelt->styleSheet().contains(QStringLiteral("SubTabSelect.png")));
        QVERIFY(tabFrame->styleSheet().contains(QStringLiteral("Subtab_bg.png")));
        QVERIFY(m_wnd->styleSheet().contains(QStringLiteral("border-width:23 58 58 58;")));
        QCOMPARE(zelt->height(), 23);
        QVERIFY(zelt->icon().isNull());
        QTest::mouseClick(zelt, Qt::LeftButton);
        QVERIFY(zelt->styleSheet().contains(QStringLiteral("SubTabSelect.png")));

        m_plugin.changeSize(true);
        QCOMPARE(about->styleSheet(), largeAbout);
        QCOMPARE(m_wnd->styleSheet(), largeWindow);
        QVERIFY(!zelt->icon().isNull());
    }

    // Both tabs are in the Tab chain, and a focused tab looks different from
    // an unfocused one in either size.
    void tabsTakeKeyboardFocusVisibly()
    {
        auto *about = W<QPushButton>("m_pBtnAbout");
        auto *zelt = W<QPushButton>("m_pBtnZelt");
        m_host->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_host));
        for (bool large : {true, false}) {
            m_plugin.changeSize(large);
            for (QPushButton *tab : {zelt, about}) {
                QCOMPARE(tab->focusPolicy(), Qt::TabFocus);
                m_table->setFocus();
                const QImage plain = tab->grab().toImage();
                tab->setFocus(Qt::TabFocusReason);
                QTRY_VERIFY(tab->hasFocus());
                const QImage focused = tab->grab().toImage();
                QVERIFY2(plain != focused, qPrintable(tab->objectName()));
            }
        }
        m_plugin.changeSize(true);
    }

    void translationChangesTexts()
    {
        QTranslator zh;
        QVERIFY(zh.load(qEnvironmentVariable("TOOLBAY_BIN_DIR") + QStringLiteral("/translations/ZELT_zh.qm")));
        auto *count = W<QLabel>("label");
        QCOMPARE(count->text(), QStringLiteral("The total devices number:"));
        ZELT_DEVICE_EVENT before = MakeEvent(1, 2);
        before.byActivated = 1;
        Send(before);
        QCOMPARE(Cell(0, ColSupIPv6), QStringLiteral("Yes"));
        QCoreApplication::installTranslator(&zh);
        QCoreApplication::processEvents();
        QCOMPARE(count->text(), QString::fromUtf8("设备总数："));
        QCOMPARE(m_model->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("序号"));
        QCOMPARE(W<QPushButton>("m_pBtnZelt")->text(), QString::fromUtf8("在线设备"));
        QCOMPARE(W<QLabel>("label_7")->text(), QString::fromUtf8("IP 地址："));
        QVERIFY(m_wnd->findChild<QLabel *>(QStringLiteral("label_162")));
        // Rows shown before the change follow it too.
        QCOMPARE(Cell(0, ColSafety), QString::fromUtf8("未激活"));
        QCOMPARE(Cell(0, ColSupIPv6), QString::fromUtf8("是"));
        Online(1);
        QCOMPARE(Cell(1, ColSafety), QString::fromUtf8("已激活"));
        QCoreApplication::removeTranslator(&zh);
        QCoreApplication::processEvents();
        QCOMPARE(Cell(0, ColSafety), QStringLiteral("Inactive"));
        QCOMPARE(Cell(1, ColSafety), QStringLiteral("Active"));
        QCOMPARE(count->text(), QStringLiteral("The total devices number:"));
        QCOMPARE(m_model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    }

    void helpShowsPluginMessageBox()
    {
        QDir::setCurrent(QDir::tempPath());
        QFile::remove(QDir::currentPath() + QStringLiteral("/User Manual Zeltscan V2 2 3.pdf"));
        m_host->activateWindow();
        QApplication::setActiveWindow(m_host);
        m_table->setFocus();
        ModalProbe probe;
        ProbeNextModal(&probe);
        QTest::keyClick(m_table, Qt::Key_F1);
        QTRY_VERIFY(probe.seen);
        QVERIFY(probe.pluginEdition); // the plug-in's own message box, not the host's
        QVERIFY(!probe.shellTitle);
        QVERIFY(probe.width <= 400);
        QCOMPARE(probe.text, QStringLiteral("Can not find Manual."));

        // With the manual present, F1 opens it.
        QFile manual(QDir::currentPath() + QStringLiteral("/User Manual Zeltscan V2 2 3.pdf"));
        QVERIFY(manual.open(QIODevice::WriteOnly));
        manual.close();
        m_urls.urls.clear();
        QApplication::setActiveWindow(m_host);
        m_table->setFocus();
        QTest::keyClick(m_table, Qt::Key_F1);
        QCOMPARE(m_urls.urls.size(), 1);
        QCOMPARE(m_urls.urls.at(0).toLocalFile(), manual.fileName());
        QFile::remove(manual.fileName());
    }

    void closeAsksForConfirmation()
    {
        ModalProbe probe;
        ProbeNextModal(&probe);
        QVERIFY(!m_wnd->close()); // cancelled
        QVERIFY(probe.seen);
        QCOMPARE(probe.text, QStringLiteral("Sure to close software"));
        QVERIFY(m_wnd->isVisible());
    }
};

QTEST_MAIN(ZeltPluginTest)
#include "tst_zelt_plugin.moc"
