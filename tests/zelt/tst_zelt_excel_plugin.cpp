// "Save as Excel" in the shipped library: libZeltscan.so loaded as the shell
// loads it, its button clicked, the dialog filled by object names, and the
// workbook read back with xlrd.

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include "ZeltTestSupport.h"
#include "xlsreader.h"

namespace {
bool NoModify(const char *, const char *, const char *, const char *, const char *, const char *, const char *,
              const char *, const char *, unsigned char, unsigned char)
{
    return false;
}
bool NoReset(int32_t, int32_t)
{
    return false;
}
bool NoRefresh()
{
    return true;
}
bool IsA(const QObject *o, const char *cls)
{
    return o && qstrcmp(o->metaObject()->className(), cls) == 0;
}
} // namespace

class ZeltExcelPluginTest : public QObject
{
    Q_OBJECT
private slots:
    void saveAsExcel()
    {
        ZeltTest::Plugin plugin;
        QVERIFY2(plugin.Load(), qPrintable(plugin.error));
        QWidget host;
        auto *layout = new QGridLayout(&host);
        host.resize(1280, 900);
        host.show();
        QVERIFY(plugin.open(&host, layout, true, NoModify, NoReset, NoRefresh));
        for (int i = 1; i <= 4; ++i) {
            const ZELT_DEVICE_EVENT ev = ZeltTest::MakeEvent(1, 70 + i);
            plugin.callBack(&ev);
        }
        QPushButton *excel = host.findChild<QPushButton *>("btbExcel");
        QVERIFY(excel);
        QAbstractItemModel *model = nullptr;
        for (QObject *o : host.findChildren<QObject *>())
            if (IsA(o, "QtZeltItemModel"))
                model = qobject_cast<QAbstractItemModel *>(o);
        QVERIFY(model);
        QTRY_COMPARE(model->rowCount(), 4);

        QTemporaryDir dir;
        QStringList messages;
        bool filled = false;
        QString dialogTitle;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (!w->isVisible())
                    continue;
                if (IsA(w, "CWarnDlg")) {
                    messages << w->findChild<QTextBrowser *>()->toPlainText();
                    static_cast<QDialog *>(w)->done(1);
                } else if (IsA(w, "PathWidget") && !filled) {
                    filled = true;
                    if (auto *title = w->findChild<QLabel *>("pLabelTitle"))
                        dialogTitle = title->text();
                    auto *box = w->findChild<QComboBox *>("comboBox");
                    box->clear();
                    box->addItem(dir.path() + "/");
                    w->findChild<QLineEdit *>("edtName")->setText("shipped");
                    // Queued: the messages that follow are answered by
                    // this same timer, which must not be inside its slot.
                    QMetaObject::invokeMethod(w->findChild<QPushButton *>("pOkBtn"), "click", Qt::QueuedConnection);
                }
            }
        });
        driver.start(20);
        QTest::mouseClick(excel, Qt::LeftButton);
        driver.stop();
        QVERIFY(filled);
        QCOMPARE(dialogTitle, QString("Save"));
        QCOMPARE(messages, QStringList{"Saved."});

        const XlsReadResult read = readXls(dir.filePath("shipped.xls"));
        QVERIFY2(read.ok, qPrintable(read.error));
        QCOMPARE(read.sheet(0).value("name").toString(), QString("shipped"));
        const QList<QStringList> rows = xlsRows(read.sheet(0));
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[0].size(), model->columnCount() - 1); // the hidden last column is not exported
        QCOMPARE(rows[0].first(), QString("ID"));
        for (int r = 0; r < 4; ++r) {
            QCOMPARE(rows[r + 1].at(0), model->index(r, 0).data().toString());
            QCOMPARE(rows[r + 1].at(8), model->index(r, 8).data().toString());   // serial number
            QCOMPARE(rows[r + 1].at(10), model->index(r, 10).data().toString()); // MAC
        }
    }
};

QTEST_MAIN(ZeltExcelPluginTest)
#include "tst_zelt_excel_plugin.moc"
