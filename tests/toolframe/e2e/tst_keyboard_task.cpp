// One whole task by keys alone, on the real shell, plug-in, SDK and device
// simulator: open the device-search tool from the control panel, select a
// device in the table, change its address, and save the list as a workbook.
// No mouse event and no slot call; modal boxes are answered by keys too.
#include <QtTest>

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTextEdit>

#include "CBaseDragFrame.h"
#include "CBaseFrame.h"
#include "CTBX.h"
#include "CTabScene.h"
#include "CViewStoregeManager.h"
#include "ShellOnSimulator.h"
#include "xlsreader.h"

namespace {
QWidget *keyTarget()
{
    if (QWidget *w = QApplication::activePopupWidget())
        return w;
    if (QWidget *w = QApplication::focusWidget())
        return w;
    return QApplication::activeWindow();
}

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = keyTarget();
    QVERIFY2(target, "no window takes keys");
    QTest::keyClick(target, Qt::Key(key), modifiers);
}

// Tab until the named widget has the focus; what was passed on the way is
// in the message when it is never reached.
bool tabTo(const QString &name, QString *passed)
{
    for (int i = 0; i < 60; ++i) {
        QWidget *f = QApplication::focusWidget();
        if (f && f->objectName() == name)
            return true;
        if (passed)
            *passed += (f ? f->objectName() : QStringLiteral("(none)")) + QLatin1Char(' ');
        QTest::keyClick(keyTarget(), Qt::Key_Tab);
    }
    return false;
}

int column(const QAbstractItemModel *m, const QString &header)
{
    for (int c = 0; c < m->columnCount(); ++c)
        if (m->headerData(c, Qt::Horizontal).toString() == header)
            return c;
    return -1;
}

// Answers the modal boxes that open while a key's action runs (they run
// nested event loops, so the answer comes from a timer): each box's texts
// are kept, and the box gets the next answer of the list.
class ModalAnswerer : public QObject
{
public:
    using Answer = std::function<void(QWidget *)>;
    explicit ModalAnswerer(QList<Answer> answers) : m_answers(std::move(answers))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start(50);
    }
    QStringList texts;
    int answered = 0;

private:
    void Poll()
    {
        QWidget *box = QApplication::activeModalWidget();
        if (!box || box == m_last || m_answers.isEmpty())
            return;
        m_last = box;
        QString all;
        for (QLabel *l : box->findChildren<QLabel *>())
            if (l->isVisible())
                all += l->text() + QLatin1Char(' ');
        for (QTextEdit *t : box->findChildren<QTextEdit *>())
            all += t->toPlainText() + QLatin1Char(' ');
        texts << all.simplified();
        ++answered;
        // Answered from a turn of its own: an answer that opens the next box
        // runs a nested loop, in which this timer would not fire again.
        QTimer::singleShot(0, box, [box, answer = m_answers.takeFirst()] { answer(box); });
    }
    QList<Answer> m_answers;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};
} // namespace

class TestKeyboardTask : public QObject
{
    Q_OBJECT
    SimProcess m_sim;
    QTemporaryDir m_work;
    CTBX *m_pMain = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY(PrepareShellOnSimulator(m_sim));
        // The workbook goes to the working folder when no folder is chosen.
        QVERIFY(QDir::setCurrent(m_work.path()));

        m_pMain = new CTBX(nullptr, Qt::Window | Qt::FramelessWindowHint);
        m_pMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pMain));
        m_pMain->activateWindow();
        QApplication::setActiveWindow(m_pMain);
        QVERIFY(QTest::qWaitForWindowActive(m_pMain));
    }

    void cleanupTestCase()
    {
        delete m_pMain;
        m_sim.kill();
    }

    void openSelectChangeAndSave()
    {
        // Open the tool: the control panel's first tool has the focus.
        QVERIFY(qobject_cast<QListWidget *>(QApplication::focusWidget()));
        press(Qt::Key_Return);
        CTabScene *scene = m_pMain->MainFrame()->TabScene();
        QTRY_COMPARE(scene->CurrentPageType(), 2);
        CBaseFrame *page = CViewStoregeManager::Instance()->FindPage(2);
        QVERIFY(page);
        auto *table = page->findChild<QAbstractItemView *>(QStringLiteral("tableWidgetDevice"));
        QVERIFY(table);
        QAbstractItemModel *model = table->model();
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 24, 20000);
        const int macCol = column(model, QStringLiteral("MAC"));
        const int ipCol = column(model, QStringLiteral("IPv4 Address"));
        QVERIFY(macCol >= 0 && ipCol >= 0);
        auto *address = page->findChild<QLineEdit *>(QStringLiteral("lineEditIPAddr"));
        QVERIFY(address);

        // Select a device: Tab into the table, Home, then Down to the first
        // active one whose address the panel lets one change.
        QString passed;
        QVERIFY2(tabTo(QStringLiteral("tableWidgetDevice"), &passed), qPrintable(passed));
        const int stateCol = column(model, QStringLiteral("Safety state"));
        QVERIFY(stateCol >= 0);
        auto changeable = [&] {
            return address->isEnabled()
                   && model->index(table->currentIndex().row(), stateCol).data().toString() == QStringLiteral("Active");
        };
        press(Qt::Key_Home);
        for (int i = 0; i < model->rowCount() && !changeable(); ++i)
            press(Qt::Key_Down);
        QVERIFY(changeable());
        QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
        const QString mac = model->index(table->currentIndex().row(), macCol).data().toString();
        auto rowOf = [&] {
            for (int r = 0; r < model->rowCount(); ++r)
                if (model->index(r, macCol).data().toString() == mac)
                    return r;
            return -1;
        };

        // Its address, the password, and Modify by the space bar.
        passed.clear();
        QVERIFY2(tabTo(QStringLiteral("lineEditIPAddr"), &passed), qPrintable(passed));
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(address, QStringLiteral("10.9.8.7"));
        QCOMPARE(address->text(), QStringLiteral("10.9.8.7"));
        QVERIFY2(tabTo(QStringLiteral("lineEditPort_Password"), &passed), qPrintable(passed));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Admin12345"));
        QVERIFY2(tabTo(QStringLiteral("pushButtonModifyNetwork"), &passed), qPrintable(passed));
        {
            ModalAnswerer summary({[](QWidget *) { press(Qt::Key_Return); }});
            press(Qt::Key_Space);
            QTRY_COMPARE_WITH_TIMEOUT(summary.answered, 1, 15000);
            QVERIFY2(summary.texts.value(0).contains(QStringLiteral("succeed")), qPrintable(summary.texts.join('|')));
            QTRY_VERIFY(!QApplication::activeModalWidget());
        }
        // What the window manager does when a box closes.
        m_pMain->activateWindow();
        QApplication::setActiveWindow(m_pMain);
        QVERIFY(QTest::qWaitForWindowActive(m_pMain));
        // The device took it: its next answer carries the new address.
        QTRY_COMPARE_WITH_TIMEOUT(model->index(rowOf(), ipCol).data().toString(), QStringLiteral("10.9.8.7"), 10000);

        // Save the list: the name typed into the save box, Return, and the
        // confirmation answered.
        passed.clear();
        QVERIFY2(tabTo(QStringLiteral("btbExcel"), &passed), qPrintable(passed));
        {
            ModalAnswerer save({[](QWidget *) {
                                    QWidget *f = QApplication::focusWidget();
                                    QVERIFY(f && f->objectName() == QStringLiteral("edtName"));
                                    QTest::keyClicks(f, QStringLiteral("fleet"));
                                    press(Qt::Key_Return);
                                },
                                [](QWidget *) { press(Qt::Key_Return); }});
            press(Qt::Key_Space);
            QTRY_VERIFY2_WITH_TIMEOUT(save.answered == 2, qPrintable(save.texts.join(QLatin1Char('|'))), 30000);
            QVERIFY2(save.texts.value(1).contains(QStringLiteral("Saved.")), qPrintable(save.texts.join('|')));
            QTRY_VERIFY(!QApplication::activeModalWidget());
        }
        const XlsReadResult book = readXls(m_work.filePath(QStringLiteral("fleet.xls")));
        QVERIFY2(book.ok, qPrintable(book.error));
        const QList<QStringList> rows = xlsRows(book.sheet(0));
        QCOMPARE(rows.size(), 25); // titles and 24 devices
        bool changedRowSaved = false;
        for (const QStringList &r : rows)
            changedRowSaved |= r.contains(mac) && r.contains(QStringLiteral("10.9.8.7"));
        QVERIFY(changedRowSaved);
    }
};

QTEST_MAIN(TestKeyboardTask)
#include "tst_keyboard_task.moc"
