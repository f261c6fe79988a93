// Line edits: name fields, password fields, the address field and the
// fields with side buttons.

#include "Buttons.h"
#include "CIpLineEdit.h"
#include "CToolLabel.h"
#include "CWarnDlg.h"
#include "LineEdits.h"
#include "ModalHelper.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QtTest>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

class TstLineEdits : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void lineEditSignals();
    void validateRefusesFileNameCharacters_data();
    void validateRefusesFileNameCharacters();
    void validateAllowsTheApostrophe();
    void validateExRefusesApostrophe();
    void validateOwnPattern();
    void refusalIsAnnounced();
    void passwordDropsClipboardKeys();
#ifdef TOOLKIT_PLUGIN_EDITION
    void passwordMenuHasNoClipboardEntries();
#endif
    void ipTypingMovesOn();
    void ipFirstOctetRange();
    void ipMiddleAndLastOctetRange();
    void ipKeys();
    void ipSetAndRead();
    void ipRefusesBadAddresses_data();
    void ipRefusesBadAddresses();
    void filterAndFancy();
    void searchLineEdit();
};

void TstLineEdits::cleanup()
{
    if (CToolLabel *label = CToolLabel::Instance())
        label->HideTipImmediately();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TstLineEdits::lineEditSignals()
{
    QWidget window;
    auto *edit = new CLineEdit(&window);
    auto *other = new QLineEdit(&window);
    other->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QSignalSpy finished(edit, &CLineEdit::SignalEditingFinished);
    QSignalSpy focusIn(edit, &CLineEdit::SignalFocusIn);
    QSignalSpy cursor(edit, &CLineEdit::SignalCursorPosition);
    edit->setText(QStringLiteral("hello"));
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(2, edit->height() / 2));
    QCOMPARE(cursor.count(), 1);
    QCOMPARE(cursor.at(0).at(0).toInt(), 0);
    edit->setFocus();
    QTRY_VERIFY(focusIn.count() >= 1);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toString(), QStringLiteral("hello"));
}

void TstLineEdits::validateRefusesFileNameCharacters_data()
{
    QTest::addColumn<QString>("bad");
    for (const char *c : {"/", "\\", ":", "*", "?", "\"", "<", ">", "|"})
        QTest::newRow(c) << QString::fromLatin1(c);
}

void TstLineEdits::validateRefusesFileNameCharacters()
{
    QFETCH(QString, bad);
    CValidateLineEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QSignalSpy changed(&edit, &CValidateLineEdit::SignalTextChanged);
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    QCOMPARE(changed.count(), 2);
    QTest::keyClicks(&edit, bad);
    QCOMPARE(edit.text(), QStringLiteral("ab"));
    QCOMPARE(changed.count(), 2);
    CToolLabel *label = CToolLabel::Instance();
    QVERIFY(label);
    QVERIFY(label->isVisible());
    QVERIFY(label->text().startsWith(QStringLiteral("Input cannot contain any of the following characters:")));
    QVERIFY(label->text().endsWith(QStringLiteral("\n / \\ : * ? \" < > |")));
    QCOMPARE(label->TipWidget(), &edit);
}

void TstLineEdits::validateAllowsTheApostrophe()
{
    CValidateLineEdit edit;
    QSignalSpy changed(&edit, &CValidateLineEdit::SignalTextChanged);
    QTest::keyClicks(&edit, QStringLiteral("ab'"));
    QCOMPARE(edit.text(), QStringLiteral("ab'"));
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed.last().at(0).toString(), QStringLiteral("ab'"));
    QVERIFY(!CToolLabel::Instance());
}

void TstLineEdits::validateExRefusesApostrophe()
{
    CValidateLineEditEx edit;
    QTest::keyClicks(&edit, QStringLiteral("x'"));
    QCOMPARE(edit.text(), QStringLiteral("x"));
    QVERIFY(CToolLabel::Instance());
    QVERIFY(CToolLabel::Instance()->text().endsWith(QStringLiteral(":\n ' / \\ : * ? \" < > |")));
    QTest::keyClicks(&edit, QStringLiteral("/"));
    QCOMPARE(edit.text(), QStringLiteral("x"));
}

void TstLineEdits::validateOwnPattern()
{
    CValidateLineEdit edit;
    edit.SetPattern(QRegularExpression(QStringLiteral("[0-9]")), QStringLiteral("No digits"));
    QTest::keyClicks(&edit, QStringLiteral("a1/"));
    QCOMPARE(edit.text(), QStringLiteral("a/"));
    QVERIFY(CToolLabel::Instance());
    QCOMPARE(CToolLabel::Instance()->text(), QStringLiteral("No digits"));
}

namespace {
QList<QPair<QObject *, QAccessible::Event>> g_accessibleEvents;
void recordAccessibleEvent(QAccessibleEvent *event)
{
    g_accessibleEvents << qMakePair(event->object(), event->type());
}
} // namespace

// A refusal shown in a tool-tip label reaches screen readers: the field
// describes itself with the message while it shows, and they are alerted.
void TstLineEdits::refusalIsAnnounced()
{
    g_accessibleEvents.clear();
    // As if a screen reader were listening.
    QPlatformAccessibility *platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
    if (!platform)
        QSKIP("This platform has no accessibility");
    platform->setActive(true);
    QAccessible::installUpdateHandler(&recordAccessibleEvent);
    const auto uninstall = qScopeGuard([platform] {
        QAccessible::installUpdateHandler(nullptr);
        platform->setActive(false);
    });
    CValidateLineEdit edit;
    edit.setAccessibleDescription(QStringLiteral("File name"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QTest::keyClicks(&edit, QStringLiteral("a/"));
    CToolLabel *label = CToolLabel::Instance();
    QVERIFY(label);
    QCOMPARE(edit.accessibleDescription(), label->text());
    QVERIFY(g_accessibleEvents.contains(qMakePair(static_cast<QObject *>(&edit), QAccessible::DescriptionChanged)));
    QVERIFY(g_accessibleEvents.contains(qMakePair(static_cast<QObject *>(label), QAccessible::Alert)));

    // Gone: the field's own description is back, and said to be.
    g_accessibleEvents.clear();
    label->HideTipImmediately();
    QCOMPARE(edit.accessibleDescription(), QStringLiteral("File name"));
    QVERIFY(g_accessibleEvents.contains(qMakePair(static_cast<QObject *>(&edit), QAccessible::DescriptionChanged)));
}

void TstLineEdits::passwordDropsClipboardKeys()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("pasted"));
    if (clipboard->text() != QStringLiteral("pasted"))
        QSKIP("This platform has no working clipboard");

    // A plain line edit does paste: the shortcut really is the one dropped.
    QLineEdit plain;
    QTest::keyClick(&plain, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(plain.text(), QStringLiteral("pasted"));

    CPasswordLineEdit edit;
    QCOMPARE(edit.echoMode(), QLineEdit::Password);
    // Qt itself never copies out of a hidden password; one shown in clear
    // (a "show password" choice) must not be copied either.
    for (QLineEdit::EchoMode mode : {QLineEdit::Password, QLineEdit::Normal}) {
        edit.setEchoMode(mode);
        edit.clear();
        QTest::keyClicks(&edit, QStringLiteral("secret"));
        QCOMPARE(edit.text(), QStringLiteral("secret"));
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QStringLiteral("pasted"));
        QCOMPARE(edit.text(), QStringLiteral("secret"));
        QTest::keyClick(&edit, Qt::Key_End);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit.text(), QStringLiteral("secret"));
        // Other keys still edit.
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QStringLiteral("secre"));
    }
}

#ifdef TOOLKIT_PLUGIN_EDITION
void TstLineEdits::passwordMenuHasNoClipboardEntries()
{
    CPasswordLineEdit edit;
    edit.setText(QStringLiteral("secret"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), edit.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&edit, &e);
    QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QPointer<QMenu> guard(menu);

    QLineEdit plain;
    QScopedPointer<QMenu> standard(plain.createStandardContextMenu());
    auto separators = [](const QMenu *m) {
        int n = 0;
        for (const QAction *a : m->actions())
            n += a->isSeparator();
        return n;
    };
    QStringList texts;
    for (const QAction *a : menu->actions())
        texts << a->text();
    const QString all = texts.join(QLatin1Char('|'));
    for (QKeySequence::StandardKey key : {QKeySequence::Cut, QKeySequence::Copy, QKeySequence::Paste})
        QVERIFY2(!all.contains(QKeySequence(key).toString(QKeySequence::NativeText)), qPrintable(all));
    QVERIFY2(all.contains(QKeySequence(QKeySequence::SelectAll).toString(QKeySequence::NativeText)), qPrintable(all));
    QVERIFY2(all.contains(QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText)), qPrintable(all));
    QCOMPARE(separators(menu), separators(standard.data()) - 1);
    QCOMPARE(menu->actions().size(), standard->actions().size() - 4);
    menu->close();
    QTRY_VERIFY(guard.isNull());
}
#endif

namespace {
struct IpWindow {
    QWidget window;
    CIpLineEdit *ip;
    IpWindow()
    {
        ip = new CIpLineEdit(&window);
        ip->setAttribute(Qt::WA_DeleteOnClose, false);
        ip->setGeometry(10, 10, 160, 26);
        window.resize(200, 60);
        window.show();
        QApplication::setActiveWindow(&window);
    }
};
} // namespace

void TstLineEdits::ipTypingMovesOn()
{
    IpWindow w;
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.ip->Octet(0)->setFocus();
    QTest::keyClicks(w.ip->Octet(0), QStringLiteral("19"));
    QVERIFY(w.ip->Octet(0)->hasFocus());
    QTest::keyClicks(w.ip->Octet(0), QStringLiteral("2"));
    QTRY_VERIFY(w.ip->Octet(1)->hasFocus());
    QTest::keyClicks(w.ip->Octet(1), QStringLiteral("168"));
    QTRY_VERIFY(w.ip->Octet(2)->hasFocus());
    QTest::keyClicks(w.ip->Octet(2), QStringLiteral("001"));
    QTRY_VERIFY(w.ip->Octet(3)->hasFocus());
    QTest::keyClicks(w.ip->Octet(3), QStringLiteral("25"));
    QCOMPARE(w.ip->text(), QStringLiteral("192.168.001.25"));
    // Letters never enter an octet.
    QTest::keyClicks(w.ip->Octet(3), QStringLiteral("x"));
    QCOMPARE(w.ip->Octet(3)->text(), QStringLiteral("25"));
    QVERIFY(w.ip->Octet(1)->focusPolicy() == Qt::ClickFocus);
    QVERIFY(w.ip->Octet(0)->focusPolicy() != Qt::ClickFocus);
}

namespace {
// Types text into an octet and returns the text of the message box that
// popped up (empty when none did).
QString typeExpectingMessage(QLineEdit *octet, const QString &text)
{
    QString message;
    ModalWatcher watcher(
        [&message](QWidget *modal) {
            if (auto *dlg = qobject_cast<CWarnDlg *>(modal))
                message = dlg->Browser()->toPlainText();
            modal->close();
        },
        1500);
    QTest::keyClicks(octet, text);
    return message;
}
} // namespace

void TstLineEdits::ipFirstOctetRange()
{
    IpWindow w;
    // Both editions show the message (the plug-in's box needs a parent).
    const QString msg = typeExpectingMessage(w.ip->Octet(0), QStringLiteral("224"));
    QCOMPARE(w.ip->Octet(0)->text(), QStringLiteral("223"));
    QCOMPARE(msg, QString::fromUtf8("224不是一个有效项目。请指定介于1和223之间的数值。"));
    w.ip->Octet(0)->clear();
    const QString msg0 = typeExpectingMessage(w.ip->Octet(0), QStringLiteral("000"));
    QCOMPARE(w.ip->Octet(0)->text(), QStringLiteral("1"));
    QVERIFY(msg0.startsWith(QStringLiteral("000")));
}

void TstLineEdits::ipMiddleAndLastOctetRange()
{
    IpWindow w;
    const QString msg = typeExpectingMessage(w.ip->Octet(1), QStringLiteral("256"));
    QCOMPARE(w.ip->Octet(1)->text(), QStringLiteral("255"));
    QCOMPARE(msg, QString::fromUtf8("256不是一个有效项目。请指定介于0和255之间的数值。"));
    QVERIFY(typeExpectingMessage(w.ip->Octet(2), QStringLiteral("999")).startsWith(QStringLiteral("999")));
    QCOMPARE(w.ip->Octet(2)->text(), QStringLiteral("255"));
    QVERIFY(typeExpectingMessage(w.ip->Octet(3), QStringLiteral("300")).startsWith(QStringLiteral("300")));
    QCOMPARE(w.ip->Octet(3)->text(), QStringLiteral("255"));
    w.ip->Octet(3)->clear();
    const QString none = typeExpectingMessage(w.ip->Octet(3), QStringLiteral("254"));
    QVERIFY(none.isEmpty());
    QCOMPARE(w.ip->Octet(3)->text(), QStringLiteral("254"));
}

void TstLineEdits::ipKeys()
{
    IpWindow w;
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QLineEdit *o[4] = {w.ip->Octet(0), w.ip->Octet(1), w.ip->Octet(2), w.ip->Octet(3)};
    o[0]->setFocus();
    QTest::keyClicks(o[0], QStringLiteral("10"));
    QTest::keyClick(o[0], Qt::Key_Period);
    QTRY_VERIFY(o[1]->hasFocus());
    QCOMPARE(o[1]->cursorPosition(), 0);
    QTest::keyClick(o[1], Qt::Key_Backspace);
    QTRY_VERIFY(o[0]->hasFocus());
    QCOMPARE(o[0]->text(), QStringLiteral("10")); // the key stays with the field it was typed into
    QTest::keyClick(o[0], Qt::Key_Space);
    QTRY_VERIFY(o[1]->hasFocus());
    QTest::keyClicks(o[1], QStringLiteral("5"));
    QTest::keyClick(o[1], Qt::Key_Right);
    QTRY_VERIFY(o[2]->hasFocus());
    QTest::keyClick(o[2], Qt::Key_Left);
    QTRY_VERIFY(o[1]->hasFocus());
    QTest::keyClick(o[1], Qt::Key_End);
    QTRY_VERIFY(o[3]->hasFocus());
    QTest::keyClick(o[3], Qt::Key_Home);
    QTRY_VERIFY(o[0]->hasFocus());
    QCOMPARE(o[0]->cursorPosition(), 0);
    // Right in the middle of a text stays in the field.
    o[1]->setFocus();
    o[1]->setCursorPosition(0);
    QTest::keyClick(o[1], Qt::Key_Right);
    QVERIFY(o[1]->hasFocus());
}

void TstLineEdits::ipSetAndRead()
{
    CIpLineEdit *ip = new CIpLineEdit;
    QVERIFY(ip->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(ip->IsEmpty());
    QCOMPARE(ip->text(), QStringLiteral("..."));
    QCOMPARE(ip->SetText("192.168.1.5"), 1);
    QCOMPARE(ip->text(), QStringLiteral("192.168.1.5"));
    QCOMPARE(ip->SetText(" 10.0.0.1"), 1);
    QCOMPARE(ip->text(), QStringLiteral("10.0.0.1"));
    // Setting 224 by program is not typing: no message, no correction.
    QCOMPARE(ip->SetText("224.0.0.1"), 1);
    QCOMPARE(ip->text(), QStringLiteral("224.0.0.1"));
    QCOMPARE(ip->SetText(nullptr), 0);
    QCOMPARE(ip->text(), QStringLiteral("224.0.0.1"));

    quint32 address = 0;
    QCOMPARE(ip->SetText("10.0.0.1"), 1);
    QCOMPARE(ip->GetAddress(address), 2);
    QCOMPARE(address, 0x0A000001u);
    ip->SetAddress(0xC0A80105u);
    QCOMPARE(ip->text(), QStringLiteral("192.168.1.5"));
    QCOMPARE(ip->GetAddress(address), 0);
    QCOMPARE(address, 0xC0A80105u);
    ip->SetText(257, 2, 3, 4);
    QCOMPARE(ip->text(), QStringLiteral("1.2.3.4"));
    ip->Clear();
    QVERIFY(ip->IsEmpty());
    QCOMPARE(ip->GetAddress(address), 4);
    QCOMPARE(address, 0u);
    QPointer<CIpLineEdit> guard(ip);
    ip->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
}

void TstLineEdits::ipRefusesBadAddresses_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::newRow("part above 255") << QByteArray("1.2.3.256");
    QTest::newRow("three parts") << QByteArray("1.2.3");
    QTest::newRow("five parts") << QByteArray("1.2.3.4.5");
    QTest::newRow("letters") << QByteArray("a.b.c.d");
    QTest::newRow("negative") << QByteArray("1.2.3.-4");
    QTest::newRow("trailing letter") << QByteArray("1.2.3.4x");
    QTest::newRow("empty") << QByteArray("");
}

void TstLineEdits::ipRefusesBadAddresses()
{
    QFETCH(QByteArray, address);
    CIpLineEdit ip;
    QCOMPARE(ip.SetText("10.1.2.3"), 1);
    QCOMPARE(ip.SetText(address.constData()), 0);
    QCOMPARE(ip.text(), QStringLiteral("10.1.2.3"));
}

void TstLineEdits::filterAndFancy()
{
    CFilterLineEdit edit;
    edit.resize(200, 24);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QCOMPARE(edit.placeholderText(), QStringLiteral("Filter"));
    CIconButton *clear = edit.Button(CFancyLineEdit::Right);
    QVERIFY(clear->IsAutoHide());
    QCOMPARE(clear->IconOpacity(), 0.0f);
    QVERIFY(clear->toolTip().isEmpty());
    QCOMPARE(edit.textMargins().right(), edit.ButtonPixmap(CFancyLineEdit::Right).width() + 8);

    QSignalSpy filter(&edit, &CFilterLineEdit::SignalFilterChanged);
    QSignalSpy clicked(&edit, &CFancyLineEdit::SignalButtonClicked);
    QTest::keyClicks(&edit, QStringLiteral("cam"));
    QCOMPARE(filter.count(), 3);
    QCOMPARE(filter.last().at(0).toString(), QStringLiteral("cam"));
    QTRY_COMPARE(clear->IconOpacity(), 1.0f);
    QCOMPARE(clear->toolTip(), QStringLiteral("Clear Text"));

    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).value<CFancyLineEdit::Side>(), CFancyLineEdit::Right);
    QVERIFY(edit.text().isEmpty());
    QCOMPARE(filter.count(), 4);
    QCOMPARE(filter.last().at(0).toString(), QString());
    QTRY_COMPARE(clear->IconOpacity(), 0.0f);
    QVERIFY(clear->toolTip().isEmpty());

    CFancyLineEdit fancy;
    fancy.SetButtonPixmap(CFancyLineEdit::Left, QPixmap(QStringLiteral(":/images/ButtonIcon/refresh.png")));
    fancy.SetButtonVisible(CFancyLineEdit::Left, true);
    QCOMPARE(fancy.textMargins().left(), 24 + 8);
    QSignalSpy left(&fancy, &CFancyLineEdit::SignalLeftButtonClicked);
    QSignalSpy right(&fancy, &CFancyLineEdit::SignalRightButtonClicked);
    fancy.Button(CFancyLineEdit::Left)->click();
    QCOMPARE(left.count(), 1);
    QCOMPARE(right.count(), 0);
}

void TstLineEdits::searchLineEdit()
{
    CSearchLineEdit search;
    QCOMPARE(search.objectName(), QStringLiteral("CSearchLineEditUi"));
    QCOMPARE(search.FilterLineEdit()->objectName(), QStringLiteral("m_pFilterLineEdit"));
    QCOMPARE(search.SearchButton()->objectName(), QStringLiteral("m_pSearchBtn"));
    QCOMPARE(search.FilterLineEdit()->placeholderText(), QStringLiteral("Search..."));
    QVERIFY(search.SearchButton()->text().isEmpty());
    QSignalSpy filter(&search, &CSearchLineEdit::SignalFilterChanged);
    QSignalSpy go(&search, &CSearchLineEdit::SignalSearch);
    QTest::keyClicks(search.FilterLineEdit(), QStringLiteral("x"));
    QCOMPARE(filter.count(), 1);
    search.SearchButton()->click();
    QCOMPARE(go.count(), 1);
}

QTEST_MAIN(TstLineEdits)
#include "tst_lineedits.moc"
