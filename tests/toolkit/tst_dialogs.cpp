// Dialogs and message boxes, for the edition this file is linked with.

#include "Buttons.h"
#include "CBaseDialog.h"
#include "CInformationDlg.h"
#include "CMutiroleDialog.h"
#include "CTitleWidget.h"
#include "CWarnDlg.h"
#include "ModalHelper.h"

#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

#ifndef TOOLKIT_PLUGIN_EDITION
const int kMaxWidth = 1024;
#else
const int kMaxWidth = 400;
#endif

class TstDialogs : public QObject
{
    Q_OBJECT
private slots:
    void baseDialogLayout();
    void bottomFrameLook();
    void autoFlags();
    void contentWidget();
    void escapeDoesNothingReturnConfirms();
    void dragOnlyFromTitleBand();
    void roundedMask();
    void confirmResults();
    void showMsgResults();
    void messageWidth();
    void messageHeight();
    void closeOnlyHides();
#ifdef TOOLKIT_PLUGIN_EDITION
    void slotsByNameActOncePerClick();
#endif
    void titlePainting();
#ifndef TOOLKIT_PLUGIN_EDITION
    void titleTextFitting();
    void mutiroleDialog();
    void mutiroleDialogDiesWithParent();
    void informationPopup();
    void informationPathMode();
#endif
};

void TstDialogs::baseDialogLayout()
{
    CBaseDialog dlg;
    QVERIFY(dlg.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(dlg.minimumHeight(), 150);
    int l, t, r, b;
    dlg.ui.m_pgridBaseDialog->getContentsMargins(&l, &t, &r, &b);
#ifndef TOOLKIT_PLUGIN_EDITION
    QCOMPARE(dlg.size(), QSize(436, 327));
    QCOMPARE(QList<int>({l, t, r, b}), QList<int>({4, 3, 4, 4}));
    QCOMPARE(dlg.ui.m_pConfirmBtn->text(), QStringLiteral("Confirm"));
    QCOMPARE(dlg.ui.m_pCancelBtn->text(), QStringLiteral("Cancel"));
    QCOMPARE(dlg.ui.m_pLeftBtn->text(), QStringLiteral("Online Devices"));
    QVERIFY(dlg.ui.m_pCifBtn->isHidden());
    QVERIFY(dlg.ui.m_p4CifBtn->isHidden());
    QCOMPARE(dlg.ui.m_pTitleWidget->GetTextMargins(), QMargins(0, 0, 22, 0));
    QCOMPARE(dlg.ui.m_pCloseBtn->size(), QSize(20, 20));
    QCOMPARE(dlg.ui.m_pCloseBtn->focusPolicy(), Qt::TabFocus); // the keyboard reaches it

    CBaseDialog yesNo(nullptr, true, true, true, false, false);
    QCOMPARE(yesNo.ui.m_pConfirmBtn->text(), QStringLiteral("Yes"));
    QCOMPARE(yesNo.ui.m_pCancelBtn->text(), QStringLiteral("No"));
    QVERIFY(yesNo.ui.m_pLeftBtn->isHidden());
#else
    QCOMPARE(dlg.size(), QSize(437, 327));
    QCOMPARE(QList<int>({l, t, r, b}), QList<int>({6, 3, 6, 5}));
    QCOMPARE(dlg.ui.pOkBtn->text(), QStringLiteral("OK"));
    QCOMPARE(dlg.ui.pCancelBtn->text(), QStringLiteral("Cancel"));
    QCOMPARE(dlg.ui.pLabelTitle->minimumSize(), QSize(100, 30));
    QVERIFY(dlg.ui.pLabelTitle->font().bold());
    QCOMPARE(dlg.ui.m_pContentFrame->frameShape(), QFrame::StyledPanel);

    CBaseDialog small(nullptr, false, true, false);
    small.ui.m_pgridBaseDialog->getContentsMargins(&l, &t, &r, &b);
    QCOMPARE(QList<int>({l, t, r, b}), QList<int>({6, 4, 6, 11}));
    QVERIFY(small.ui.m_pBottomFrame->isHidden());
    QVERIFY(small.ui.pCancelBtn->isHidden());
    QVERIFY(small.styleSheet().contains(QStringLiteral("dialog_bg2.png")));
#endif
    QVERIFY(dlg.ui.m_pCloseBtn->isHidden());
}

void TstDialogs::bottomFrameLook()
{
    CBaseDialog dlg;
#ifndef TOOLKIT_PLUGIN_EDITION
    QCOMPARE(dlg.objectName(), QStringLiteral("CBaseDialogClass2"));
    dlg.SetBottomFrameVisible(false);
    QCOMPARE(dlg.objectName(), QStringLiteral("CBaseDialogClass1"));
    QVERIFY(dlg.ui.m_pBottomFrame->isHidden());
    dlg.SetBottomFrameVisible(true);
    QCOMPARE(dlg.objectName(), QStringLiteral("CBaseDialogClass2"));
    QVERIFY(!dlg.ui.m_pBottomFrame->isHidden());
#else
    QCOMPARE(dlg.objectName(), QStringLiteral("CBaseDialogClass"));
    QVERIFY(dlg.styleSheet().contains(QStringLiteral("dialog_bg.png\") 58;")));
    dlg.SetBottomFrameVisible(false);
    QCOMPARE(dlg.objectName(), QStringLiteral("CBaseDialogClass"));
    QVERIFY(dlg.ui.pOkBtn->isHidden());
    QVERIFY(dlg.ui.pCancelBtn->isHidden());
    QVERIFY(dlg.ui.m_pBottomFrame->isHidden());
    QVERIFY(dlg.styleSheet().contains(QStringLiteral("dialog_bg2.png")));
    dlg.SetBottomFrameVisible(true);
    QVERIFY(!dlg.ui.pOkBtn->isHidden());
    QVERIFY(dlg.styleSheet().contains(QStringLiteral("dialog_bg.png")));
#endif
}

void TstDialogs::autoFlags()
{
    CBaseDialog dlg;
    dlg.show();
    QSignalSpy ok(&dlg, &CBaseDialog::ClickedOKBtnSig);
    QSignalSpy closed(&dlg, &CBaseDialog::ClickedCloseBtnSig);
    dlg.SetAutoAccept(false);
    dlg.SetAutoClose(false);
    dlg.ConfirmButton()->click();
    dlg.ui.m_pCloseBtn->click();
    QCOMPARE(ok.count(), 1);
    QCOMPARE(closed.count(), 1);
    QVERIFY(dlg.isVisible());
#ifndef TOOLKIT_PLUGIN_EDITION
    QSignalSpy cancelled(&dlg, &CBaseDialog::ClickedCancleBtnSig);
    QSignalSpy left(&dlg, &CBaseDialog::SignalLeftBtnClicked);
    dlg.SetAutoReject(false);
    dlg.ui.m_pCancelBtn->click();
    dlg.ui.m_pLeftBtn->click();
    QCOMPARE(cancelled.count(), 1);
    QCOMPARE(left.count(), 1);
    QVERIFY(dlg.isVisible());
    dlg.SetAutoReject(true);
#endif
    dlg.SetOkBtnEnable(false);
    QVERIFY(!dlg.ConfirmButton()->isEnabled());
    dlg.SetOkBtnEnable(true);
    dlg.SetAutoAccept(true);
    dlg.ConfirmButton()->click();
    QCOMPARE(ok.count(), 1);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    dlg.show();
    dlg.CancelButton()->click();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void TstDialogs::contentWidget()
{
    CBaseDialog dlg;
    QVERIFY(!dlg.SetContentWidget(nullptr));
    auto *label = new QLabel(QStringLiteral("content"));
    QVERIFY(dlg.SetContentWidget(label));
    QCOMPARE(label->parentWidget(), dlg.GetContentFrame());
    auto *second = new QLabel(QStringLiteral("more"));
    QVERIFY(dlg.SetContentWidget(second));
    auto *grid = qobject_cast<QGridLayout *>(dlg.GetContentFrame()->layout());
    QVERIFY(grid);
    QCOMPARE(grid->count(), 2);
    QCOMPARE(grid->contentsMargins(), QMargins(0, 0, 0, 0));
}

void TstDialogs::escapeDoesNothingReturnConfirms()
{
    CBaseDialog dlg;
    bool stillOpenAfterEscape = false;
    ModalWatcher watcher([&](QWidget *modal) {
        QTest::keyClick(modal, Qt::Key_Escape);
        stillOpenAfterEscape = modal->isVisible();
        // A focused Cancel button must not take Return away from the dialog.
        if (auto *d = qobject_cast<CBaseDialog *>(modal)) {
            d->CancelButton()->setFocus();
            QTest::keyClick(d->CancelButton(), Qt::Key_Return);
        }
    });
    const int result = dlg.exec();
    QVERIFY(watcher.fired());
    QVERIFY(stillOpenAfterEscape);
    QCOMPARE(result, 1);
}

void TstDialogs::dragOnlyFromTitleBand()
{
    CBaseDialog dlg;
    dlg.move(100, 100);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QPoint start = dlg.pos();
    auto send = [&dlg](QEvent::Type type, QPoint local, QPoint global, Qt::MouseButton button = Qt::LeftButton) {
        QMouseEvent e(type, QPointF(local), QPointF(global), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
        QApplication::sendEvent(&dlg, &e);
    };
    // The right button does not drag, even in the band.
    QPoint press(100, 10);
    QPoint global = dlg.mapToGlobal(press);
    send(QEvent::MouseButtonPress, press, global, Qt::RightButton);
    send(QEvent::MouseMove, press + QPoint(40, 30), global + QPoint(40, 30), Qt::RightButton);
    send(QEvent::MouseButtonRelease, press + QPoint(40, 30), global + QPoint(40, 30), Qt::RightButton);
    QCOMPARE(dlg.pos(), start);

    // Press below the band: moving does not drag.
    press = QPoint(100, 33);
    global = dlg.mapToGlobal(press);
    send(QEvent::MouseButtonPress, press, global);
    send(QEvent::MouseMove, press + QPoint(40, 30), global + QPoint(40, 30));
    send(QEvent::MouseButtonRelease, press + QPoint(40, 30), global + QPoint(40, 30));
    QCOMPARE(dlg.pos(), start);

    // Press inside the band (y = 32 still counts): the dialog follows.
    press = QPoint(100, 32);
    global = dlg.mapToGlobal(press);
    send(QEvent::MouseButtonPress, press, global);
    send(QEvent::MouseMove, press + QPoint(40, 30), global + QPoint(40, 30));
    QTRY_COMPARE(dlg.pos(), start + QPoint(40, 30));
    send(QEvent::MouseButtonRelease, press, global + QPoint(40, 30));
    // After release, moves do nothing.
    send(QEvent::MouseMove, press, global + QPoint(90, 90));
    QCOMPARE(dlg.pos(), start + QPoint(40, 30));
}

void TstDialogs::roundedMask()
{
    CBaseDialog dlg;
    dlg.resize(400, 200);
    dlg.show();
    QTRY_COMPARE(dlg.size(), QSize(400, 200));
    const QRegion mask = dlg.mask();
    QVERIFY(!mask.isEmpty());
    for (QPoint corner : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 199), QPoint(399, 199)})
        QVERIFY2(!mask.contains(corner), qPrintable(QStringLiteral("%1,%2").arg(corner.x()).arg(corner.y())));
    for (QPoint inside : {QPoint(2, 0), QPoint(0, 2), QPoint(397, 0), QPoint(399, 197), QPoint(200, 100)})
        QVERIFY2(mask.contains(inside), qPrintable(QStringLiteral("%1,%2").arg(inside.x()).arg(inside.y())));
    dlg.resize(500, 260);
    QTRY_VERIFY(dlg.mask().contains(QPoint(497, 259)));
    QVERIFY(!dlg.mask().contains(QPoint(499, 259)));
}

void TstDialogs::confirmResults()
{
    QWidget parent;
    parent.show();
    {
        ModalWatcher w([](QWidget *m) { qobject_cast<CBaseDialog *>(m)->ConfirmButton()->click(); });
        QCOMPARE(CWarnDlg::ShowConfirmMsg(QStringLiteral("Question"), QStringLiteral("Sure?"), &parent), 1);
    }
    {
        ModalWatcher w([](QWidget *m) { qobject_cast<CBaseDialog *>(m)->CancelButton()->click(); });
        QCOMPARE(CWarnDlg::ShowConfirmMsg(QStringLiteral("Question"), QStringLiteral("Sure?"), &parent), 0);
    }
    {
        ModalWatcher w([](QWidget *m) {
            auto *d = qobject_cast<CBaseDialog *>(m);
            QVERIFY(d->ui.m_pCloseBtn->isVisible());
            d->ui.m_pCloseBtn->click();
        });
        QCOMPARE(CWarnDlg::ShowConfirmMsg(QStringLiteral("Question"), QStringLiteral("Sure?"), &parent), 0);
    }
    {
        ModalWatcher w([](QWidget *m) { QTest::keyClick(m, Qt::Key_Enter); });
        QCOMPARE(CWarnDlg::ShowConfirmMsg(QStringLiteral("Question"), QStringLiteral("Sure?"), &parent), 1);
    }
    {
        ModalWatcher w([](QWidget *m) { m->close(); }, 300);
        QCOMPARE(CWarnDlg::ShowConfirmMsg(QStringLiteral("Question"), QStringLiteral("Sure?"), nullptr), -1);
        QVERIFY(!w.fired());
    }
}

void TstDialogs::showMsgResults()
{
    QWidget parent;
    parent.show();
    {
        bool bottomHidden = false;
        ModalWatcher w([&bottomHidden](QWidget *m) {
            auto *d = qobject_cast<CBaseDialog *>(m);
            bottomHidden = d->ui.m_pBottomFrame->isHidden();
            QTest::keyClick(m, Qt::Key_Escape);
            if (m->isVisible())
                QTest::keyClick(m, Qt::Key_Return);
        });
        QCOMPARE(CWarnDlg::ShowMsg(QStringLiteral("Information"), QStringLiteral("Saved."), &parent), 1);
        QVERIFY(bottomHidden);
    }
    {
        ModalWatcher w([](QWidget *m) { qobject_cast<CBaseDialog *>(m)->ui.m_pCloseBtn->click(); });
        QCOMPARE(CWarnDlg::ShowMsg(QStringLiteral("Information"), QStringLiteral("Saved."), &parent), 0);
    }
    {
        ModalWatcher w([](QWidget *m) { m->close(); }, 500);
        const int r = CWarnDlg::ShowMsg(QStringLiteral("Information"), QStringLiteral("Saved."), nullptr);
#ifndef TOOLKIT_PLUGIN_EDITION
        QVERIFY(w.fired());
        QCOMPARE(r, 0);
#else
        QVERIFY(!w.fired());
        QCOMPARE(r, -1);
#endif
    }
}

void TstDialogs::messageWidth()
{
    QWidget parent;
    // Short text: the default width, the browser as wide as the text.
    {
        CWarnDlg dlg(&parent);
        dlg.PrepareText(QStringLiteral("T"), QStringLiteral("Done."), false);
        QCOMPARE(dlg.width(), 300);
        QCOMPARE(dlg.height(), 225);
        const int w = QFontMetrics(dlg.Browser()->font()).horizontalAdvance(QStringLiteral("Done.")) + 15;
        QCOMPARE(dlg.Browser()->width(), w);
    }
    // A text a little wider than the default: need + 12.
    {
        CWarnDlg dlg(&parent);
        const QFontMetrics fm(dlg.Browser()->font());
        QString text = QStringLiteral("Medium");
        while (fm.horizontalAdvance(text) + 25 <= 288)
            text += QStringLiteral(" word");
        text += QStringLiteral(" more words");
        QVERIFY(fm.horizontalAdvance(text) + 25 < kMaxWidth - 12);
        dlg.PrepareText(QStringLiteral("T"), text, false);
        QCOMPARE(dlg.width(), fm.horizontalAdvance(text) + 25 + 12);
        QCOMPARE(dlg.Browser()->width(), fm.horizontalAdvance(text) + 15);
        QCOMPARE(dlg.height(), 225);
    }
    // A very long one-line text: the maximum width, and it wraps.
    {
        CWarnDlg dlg(&parent);
        const QString text = QStringLiteral("A long message that goes on and on ").repeated(12);
        dlg.PrepareText(QStringLiteral("T"), text, false);
        QCOMPARE(dlg.width(), kMaxWidth);
        QCOMPARE(dlg.Browser()->width(), kMaxWidth - 12 - 10);
        const int lineHeight = QFontMetrics(dlg.Browser()->font()).lineSpacing();
        QVERIFY(dlg.Browser()->document()->size().height() > 1.5 * lineHeight);
    }
}

void TstDialogs::messageHeight()
{
    QWidget parent;
    // A short message is centred vertically in the content frame.
    {
        CWarnDlg dlg(&parent);
        bool checked = false;
        ModalWatcher w([&](QWidget *m) {
            QFrame *content = dlg.GetContentFrame();
            QTextBrowser *b = dlg.Browser();
            QCOMPARE(dlg.height(), 225);
            QVERIFY(qAbs(b->y() - (content->height() - b->height()) / 2) <= 1);
            QVERIFY(qAbs(b->x() - (content->width() - b->width()) / 2) <= 1);
            checked = true;
            m->close();
        });
        dlg.ExecMsg(QStringLiteral("T"), QStringLiteral("One line."));
        QVERIFY(checked);
    }
    // Many lines: the box grows and the text starts 15 pixels down.
    {
        CWarnDlg dlg(&parent);
        QStringList lines;
        for (int i = 0; i < 20; ++i)
            lines << QStringLiteral("Device %1 failed").arg(i);
        bool checked = false;
        ModalWatcher w([&](QWidget *m) {
            QTextBrowser *b = dlg.Browser();
            QVERIFY(dlg.height() > 225);
            QCOMPARE(b->y(), 15);
            QVERIFY(b->y() + b->height() <= dlg.GetContentFrame()->height());
            QVERIFY(qAbs(b->x() - (dlg.GetContentFrame()->width() - b->width()) / 2) <= 1);
            checked = true;
            m->close();
        });
        dlg.ExecMsg(QStringLiteral("T"), lines.join(QLatin1Char('\n')));
        QVERIFY(checked);
        // Width follows the widest line, not the whole text.
        QCOMPARE(dlg.width(), 300);
    }
    // More lines than the screen holds: the box stops at the screen's
    // height and the text scrolls to its last line.
    {
        CWarnDlg dlg(&parent);
        QStringList lines;
        for (int i = 0; i < 2000; ++i)
            lines << QStringLiteral("Device %1 failed").arg(i);
        bool checked = false;
        ModalWatcher w([&](QWidget *m) {
            QTextBrowser *b = dlg.Browser();
            QVERIFY(dlg.height() <= parent.screen()->availableGeometry().height());
            QVERIFY(b->y() + b->height() <= dlg.GetContentFrame()->height());
            QVERIFY(b->verticalScrollBar()->isVisible());
            QVERIFY(b->verticalScrollBar()->maximum() > 0);
            checked = true;
            m->close();
        });
        dlg.ExecMsg(QStringLiteral("T"), lines.join(QLatin1Char('\n')));
        QVERIFY(checked);
    }
}

void TstDialogs::closeOnlyHides()
{
    QWidget parent;
    auto *dlg = new CWarnDlg(&parent);
    QPointer<CWarnDlg> guard(dlg);
    dlg->setAttribute(Qt::WA_DeleteOnClose, false);
    dlg->show();
    QVERIFY(!dlg->close());
    QVERIFY(!dlg->isVisible());
    QVERIFY(guard);
}

#ifdef TOOLKIT_PLUGIN_EDITION
void TstDialogs::slotsByNameActOncePerClick()
{
    // What a subclass form's setupUi() does: connect by name once more.
    CBaseDialog dlg;
    QMetaObject::connectSlotsByName(&dlg);
    dlg.SetAutoAccept(false);
    dlg.SetAutoClose(false);
    QSignalSpy ok(&dlg, &CBaseDialog::ClickedOKBtnSig);
    QSignalSpy closed(&dlg, &CBaseDialog::ClickedCloseBtnSig);
    dlg.ui.pOkBtn->click();
    dlg.ui.m_pCloseBtn->click();
    QCOMPARE(ok.count(), 1);
    QCOMPARE(closed.count(), 1);
    // The next click acts again, and so does a direct call.
    dlg.ui.pOkBtn->click();
    QCOMPARE(ok.count(), 2);
    dlg.on_pOkBtn_clicked();
    QCOMPARE(ok.count(), 3);
}
#endif

void TstDialogs::titlePainting()
{
    CTitleWidget title;
    title.resize(120, 30);
    QCOMPARE(title.GetTextColor(), QColor(Qt::white));
    QVERIFY(!title.GetBackgroundColor().isValid());
    title.SetBackgroundColor(QColor(0, 128, 0));
    QPixmap strip(10, 10);
    strip.fill(QColor(255, 0, 0));
    title.SetStripPixmap(strip);
    const QImage img = title.grab().toImage();
    // The strip is tiled over the leftmost 34 pixels, full height.
    QCOMPARE(img.pixelColor(0, 0), QColor(255, 0, 0));
    QCOMPARE(img.pixelColor(33, 29), QColor(255, 0, 0));
    QCOMPARE(img.pixelColor(34, 15), QColor(0, 128, 0));
    QCOMPARE(img.pixelColor(119, 29), QColor(0, 128, 0));
    // A background picture is stretched over everything but the strip.
    QPixmap ground(4, 4);
    ground.fill(QColor(0, 0, 255));
    title.SetBackgroundPixmap(ground);
    const QImage img2 = title.grab().toImage();
    QCOMPARE(img2.pixelColor(119, 0), QColor(0, 0, 255));
    QCOMPARE(img2.pixelColor(5, 5), QColor(255, 0, 0));
    // Text is drawn in the text colour.
    title.SetBackgroundPixmap(QPixmap());
    title.SetTextColor(QColor(255, 255, 0));
    title.SetText(QStringLiteral("MMMM"));
    const QImage img3 = title.grab().toImage();
    bool yellow = false;
    for (int x = 34; x < 120 && !yellow; ++x)
        for (int y = 0; y < 30 && !yellow; ++y)
            yellow = img3.pixelColor(x, y) == QColor(255, 255, 0);
    QVERIFY(yellow);
}

#ifndef TOOLKIT_PLUGIN_EDITION
void TstDialogs::titleTextFitting()
{
    CTitleWidget title;
    title.SetTextMargins(0, 0, 22, 0);
    const QFontMetrics fm(title.font());
    const QRect rect(0, 0, 200, 30);
    // Fits and stays clear of the right margin: unchanged.
    QString shortText = QStringLiteral("Hi");
    title.SetText(shortText);
    QCOMPARE(title.FittedText(rect, fm), shortText);
    // Fits the width but its half reaches past half the width minus the
    // right margin: cut with dots until it is clear.
    QString text = QStringLiteral("W");
    while (fm.horizontalAdvance(text) / 2 < 100 - 22 + 4)
        text += QLatin1Char('W');
    QVERIFY(fm.horizontalAdvance(text) <= 178);
    title.SetText(text);
    const QString fitted = title.FittedText(rect, fm);
    QVERIFY(fitted.endsWith(QStringLiteral("...")));
    QVERIFY(fm.horizontalAdvance(fitted) / 2 < 100 - 22);
    // Too wide for the width at all: elided at the right.
    const QString wide = QStringLiteral("A title far too long for a two hundred pixel bar, truly");
    title.SetText(wide);
    const QString elided = title.FittedText(rect, fm);
    QVERIFY(elided != wide);
    QVERIFY(fm.horizontalAdvance(elided) <= 178);
    title.SetAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QVERIFY(fm.horizontalAdvance(title.FittedText(rect, fm)) <= 178);
}

void TstDialogs::mutiroleDialog()
{
    QWidget parent;
    parent.show();
    auto *frame = new CMutiroleDialog(&parent);
    frame->resize(320, 240);
    QCOMPARE(frame->parentWidget(), &parent);
    frame->ShowDialog(nullptr, QStringLiteral("Nothing"), 300, 200);
    QVERIFY(!frame->Dialog());
    frame->ShowDialog(&parent, QStringLiteral("Tool"), 300, 200);
    CBaseDialog *dlg = frame->Dialog();
    QVERIFY(dlg);
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->GetTitleText(), QStringLiteral("Tool"));
    QCOMPARE(frame->width(), dlg->width());
    QCOMPARE(frame->height(), dlg->height());
    QVERIFY(dlg->ui.m_pCloseBtn->isVisible());
    QVERIFY(dlg->ui.m_pBottomFrame->isHidden());
    QVERIFY(dlg->isAncestorOf(frame));
    frame->move(33, 44);
    QCOMPARE(dlg->pos(), QPoint(33, 44));
    // The close button goes through DialogCloseSlot and closes the dialog.
    dlg->ui.m_pCloseBtn->click();
    QVERIFY(!dlg->isVisible());

    // Modal form, ended by Confirm.
    ModalWatcher w([](QWidget *m) { qobject_cast<CBaseDialog *>(m)->ConfirmButton()->click(); });
    QCOMPARE(frame->ExecDialog(&parent, QStringLiteral("Modal")), 1);
    QCOMPARE(frame->Dialog(), dlg); // reused

    QPointer<CBaseDialog> guard(dlg);
    delete frame;
    QVERIFY(guard.isNull());
}

void TstDialogs::mutiroleDialogDiesWithParent()
{
    auto *parent = new QWidget;
    auto *frame = new CMutiroleDialog(parent);
    QPointer<CMutiroleDialog> frameGuard(frame);
    frame->ShowDialog(parent, QStringLiteral("Tool"), 200, 150);
    QPointer<CBaseDialog> dlgGuard(frame->Dialog());
    QVERIFY(dlgGuard);
    delete parent;
    QVERIFY(frameGuard.isNull());
    QVERIFY(dlgGuard.isNull());
}

void TstDialogs::informationPopup()
{
    CInformationDlg::ShowInformationAtScreenRightBottom(QStringLiteral("Export finished"), nullptr, false);
    CInformationDlg *popup = CInformationDlg::Current();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->objectName(), QStringLiteral("CUiSnapshotInfoWnd"));
    QCOMPARE(popup->size(), QSize(200, 150));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(popup->frameGeometry().bottomRight(), area.bottomRight());
    QCOMPARE(popup->PathBrowser()->toPlainText(), QStringLiteral("Export finished"));
    QVERIFY(popup->Timer()->isActive());
    QCOMPARE(popup->Timer()->interval(), 3000);

    // A second notice reuses the popup.
    CInformationDlg::ShowInformationAtScreenRightBottom(QStringLiteral("Again"), nullptr, false);
    QCOMPARE(CInformationDlg::Current(), popup);
    QCOMPARE(popup->PathBrowser()->toPlainText(), QStringLiteral("Again"));

    // With the pointer on it the popup stays; away from it, it hides.
    QCursor::setPos(popup->mapToGlobal(popup->rect().center()));
    QCOMPARE(QCursor::pos(), popup->mapToGlobal(popup->rect().center()));
    popup->OnClose();
    QVERIFY(popup->isVisible());
    QVERIFY(popup->Timer()->isActive());
    QCursor::setPos(area.topLeft());
    popup->OnClose();
    QVERIFY(!popup->isVisible());

    // Left alone, the timer hides it about 3 s after it was shown.
    QElapsedTimer shown;
    shown.start();
    CInformationDlg::ShowInformationAtScreenRightBottom(QStringLiteral("Timed"), nullptr, false);
    QVERIFY(popup->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!popup->isVisible(), 5000);
    QVERIFY(shown.elapsed() >= 2800); // a coarse timer may fire up to 5 % early

    CInformationDlg::ShowInformationAtScreenRightBottom(QStringLiteral("Third"), nullptr, false);
    QVERIFY(popup->isVisible());
    CInformationDlg::HideInformation();
    QVERIFY(!popup->isVisible());
    popup->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!CInformationDlg::Current());
}

void TstDialogs::informationPathMode()
{
    CInformationDlg::ShowInformationAtScreenRightBottom(QStringLiteral("/tmp/export/devices.xls"), nullptr, true);
    CInformationDlg *popup = CInformationDlg::Current();
    QVERIFY(popup);
    QVERIFY(popup->IsPathMode());
    const QString html = popup->PathBrowser()->toHtml();
    // The link opens the folder: a proper local-file URL, not "file:////".
    QVERIFY2(html.contains(QStringLiteral("href=\"file:///tmp/export\"")), qPrintable(html));
    QVERIFY(!html.contains(QStringLiteral("file:////")));
    QCOMPARE(popup->PathBrowser()->toPlainText(), QStringLiteral("/tmp/export/devices.xls"));

    // A bare name is taken in the working folder; odd characters stay intact.
    CInformationDlg::ShowInformationAtScreenRightBottom(QStringLiteral("devices.xls"), nullptr, true);
    const QString html2 = popup->PathBrowser()->toHtml();
    const QString here = QUrl::fromLocalFile(QDir::currentPath() + QStringLiteral("/devices.xls"))
                             .toString(QUrl::FullyEncoded);
    QVERIFY2(html2.contains(QStringLiteral("href=\"%1\"").arg(here)), qPrintable(html2));
    CInformationDlg::ShowInformationAtScreenRightBottom(QStringLiteral("/tmp/a b'<c>/x.xls"), nullptr, true);
    QCOMPARE(popup->PathBrowser()->toPlainText(), QStringLiteral("/tmp/a b'<c>/x.xls"));
    const QString html3 = popup->PathBrowser()->toHtml();
    QVERIFY2(html3.contains(QStringLiteral("href=\"file:///tmp/a%20b'%3Cc%3E\"")), qPrintable(html3));
    popup->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
#endif

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
