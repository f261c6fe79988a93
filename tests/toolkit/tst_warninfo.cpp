// The cross-thread message relay.

#include "CWarnDlg.h"
#include "ModalHelper.h"

#include <QTextBrowser>
#include <QThread>
#include <QtTest>

class TstWarnInfo : public QObject
{
    Q_OBJECT
private slots:
    void messageFromAnotherThread();
};

void TstWarnInfo::messageFromAnotherThread()
{
    CWarnInfoDlg *relay = CWarnInfoDlg::GetInstance();
    QCOMPARE(CWarnInfoDlg::GetInstance(), relay);
    QWidget parent;
    parent.show();
    CWarnInfoDlg::SetParentWidget(&parent);
    QCOMPARE(CWarnInfoDlg::ParentWidget(), &parent);

    QString shownText;
    QWidget *shownParent = nullptr;
    bool onGuiThread = false;
    ModalWatcher watcher([&](QWidget *modal) {
        auto *dlg = qobject_cast<CWarnDlg *>(modal);
        QVERIFY(dlg);
        shownText = dlg->Browser()->toPlainText();
        shownParent = dlg->parentWidget();
        onGuiThread = QThread::currentThread() == qApp->thread();
        dlg->close();
    });

    QThread *worker = QThread::create(
        [relay]() { emit relay->ShowMsgInfoSig(QStringLiteral("Information"), QStringLiteral("Sent from a worker")); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    QTRY_VERIFY(watcher.fired());
    QCOMPARE(shownText, QStringLiteral("Sent from a worker"));
    QCOMPARE(shownParent, &parent);
    QVERIFY(onGuiThread);
    CWarnInfoDlg::SetParentWidget(nullptr);
}

QTEST_MAIN(TstWarnInfo)
#include "tst_warninfo.moc"
