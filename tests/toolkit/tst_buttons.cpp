// Button classes.

#include "Buttons.h"
#include "LineEdits.h"

#include <QElapsedTimer>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QtTest>

class TstButtons : public QObject
{
    Q_OBJECT
private slots:
    void pushButtonEnterLeave();
    void delayButtonSettles();
    void delayButtonWaitsWhileChecked();
    void iconButtonFades();
    void rankButton();
    void rankButtonRefusesOutOfRange();
    void toolButtonThrottle();
    void userToolButton();
    void radioRenameWithReturn();
    void radioRenameEscapeKeepsText();
    void radioNotEditable();
};

void TstButtons::pushButtonEnterLeave()
{
    CPushButton b(QStringLiteral("x"));
    QSignalSpy enter(&b, &CPushButton::SignalMouseEnter);
    QSignalSpy leave(&b, &CPushButton::SignalMouseLeave);
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&b, &e);
    QEvent l(QEvent::Leave);
    QApplication::sendEvent(&b, &l);
    QCOMPARE(enter.count(), 1);
    QCOMPARE(leave.count(), 1);
}

void TstButtons::delayButtonSettles()
{
    CDelayButton b(QStringLiteral("Refresh"));
    b.resize(80, 24);
    QSignalSpy settled(&b, &CDelayButton::SignalDelayRelease);
    QSignalSpy clicked(&b, &QPushButton::clicked);
    QElapsedTimer sinceLast;
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(&b, Qt::LeftButton);
        sinceLast.start();
        QTest::qWait(100);
    }
    QCOMPARE(clicked.count(), 3);
    QCOMPARE(settled.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 1, 4000);
    QVERIFY2(sinceLast.elapsed() >= 1900, qPrintable(QString::number(sinceLast.elapsed())));
    QVERIFY(!b.IsDelayPending());
}

void TstButtons::delayButtonWaitsWhileChecked()
{
    CDelayButton b(QStringLiteral("Hold"));
    b.setCheckable(true);
    QSignalSpy settled(&b, &CDelayButton::SignalDelayRelease);
    QTest::mouseClick(&b, Qt::LeftButton);
    QVERIFY(b.isChecked());
    QTest::qWait(2300);
    QCOMPARE(settled.count(), 0);
    QVERIFY(b.IsDelayPending());
    b.setChecked(false);
    QTRY_COMPARE_WITH_TIMEOUT(settled.count(), 1, 2500);
}

void TstButtons::iconButtonFades()
{
    CIconButton b;
    QCOMPARE(b.focusPolicy(), Qt::NoFocus);
    QCOMPARE(b.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(b.IconOpacity(), 0.0f);
    b.SetAutoHide(true);
    b.SetPixmap(QPixmap(QStringLiteral(":/images/public/lineEdit/EditClear.png")));
    QVERIFY(!b.Pixmap().isNull());
    b.AnimateShow(true);
    QTRY_COMPARE(b.IconOpacity(), 1.0f);
    b.AnimateShow(false);
    QTRY_COMPARE(b.IconOpacity(), 0.0f);
    // The property is reachable by name, as the animation uses it.
    QVERIFY(b.setProperty("m_fIconOpacity", 0.5f));
    QCOMPARE(b.IconOpacity(), 0.5f);
}

namespace {
bool marked(QPushButton *b)
{
    return b->styleSheet().contains(QStringLiteral("button_hover.png"));
}
} // namespace

void TstButtons::rankButton()
{
    CRankButton rank;
    QCOMPARE(rank.Rank(), 1u);
    QCOMPARE(rank.RankButton(1)->text(), QStringLiteral("Low"));
    QCOMPARE(rank.RankButton(2)->text(), QStringLiteral("Middle"));
    QCOMPARE(rank.RankButton(3)->text(), QStringLiteral("High"));
    QVERIFY(marked(rank.RankButton(1)));
    QVERIFY(!marked(rank.RankButton(2)));
    QVERIFY(!marked(rank.RankButton(3)));

    QStringList order;
    connect(&rank, &CRankButton::RankChanged, this, [&order](uint r) { order << QStringLiteral("changed %1").arg(r); });
    connect(&rank, &CRankButton::ClickRank, this, [&order](uint r) { order << QStringLiteral("click %1").arg(r); });
    rank.RankButton(3)->click();
    QCOMPARE(order, QStringList({QStringLiteral("changed 3"), QStringLiteral("click 3")}));
    QVERIFY(marked(rank.RankButton(1)) && marked(rank.RankButton(2)) && marked(rank.RankButton(3)));
    order.clear();
    rank.RankButton(3)->click();
    QCOMPARE(order, QStringList({QStringLiteral("click 3")}));
    order.clear();
    QVERIFY(rank.SetRank(2));
    QCOMPARE(order, QStringList({QStringLiteral("changed 2")}));
    QVERIFY(marked(rank.RankButton(2)));
    QVERIFY(!marked(rank.RankButton(3)));
    rank.SetTexts(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"));
    QCOMPARE(rank.RankButton(2)->text(), QStringLiteral("b"));
}

void TstButtons::rankButtonRefusesOutOfRange()
{
    CRankButton rank;
    rank.SetRank(2);
    QSignalSpy changed(&rank, &CRankButton::RankChanged);
    QVERIFY(!rank.SetRank(0));
    QVERIFY(!rank.SetRank(4));
    QCOMPARE(rank.Rank(), 2u);
    QCOMPARE(changed.count(), 0);
    QVERIFY(marked(rank.RankButton(2)));
    QVERIFY(!marked(rank.RankButton(3)));
}

void TstButtons::toolButtonThrottle()
{
    CToolButton plain;
    QSignalSpy plainClicks(&plain, &QToolButton::clicked);
    QTest::mouseClick(&plain, Qt::LeftButton);
    QTest::mouseClick(&plain, Qt::LeftButton);
    QCOMPARE(plainClicks.count(), 2);

    CToolButton b;
    b.SetThrottle(true);
    b.SetInterval(1000);
    QSignalSpy clicks(&b, &QToolButton::clicked);
    QTest::mouseClick(&b, Qt::LeftButton);
    QTest::mouseClick(&b, Qt::LeftButton);
    QTest::mouseClick(&b, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QVERIFY(!b.isDown());

    // Once the interval is over the next click gets through.
    b.SetInterval(150);
    QTest::qWait(1100);
    QTest::mouseClick(&b, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
    QTest::mouseClick(&b, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
    QTest::qWait(250);
    QTest::mouseClick(&b, Qt::LeftButton);
    QCOMPARE(clicks.count(), 3);
}

void TstButtons::userToolButton()
{
    CUserToolButton b;
    QVERIFY(!b.UserValue().isValid());
    b.SetUserValue(QVariant(42));
    QCOMPARE(b.UserValue().toInt(), 42);
}

void TstButtons::radioRenameWithReturn()
{
    QWidget window;
    auto *radio = new CRadioButton(QStringLiteral("Group 1"), &window);
    radio->resize(120, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    radio->SetEditable(true);
    QSignalSpy changed(radio, &CRadioButton::SignalTextChanged);
    QTest::mouseDClick(radio, Qt::LeftButton);
    CLineEdit *editor = radio->Editor();
    QVERIFY(editor);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->geometry(), radio->rect());
    QCOMPARE(editor->selectedText(), QStringLiteral("Group 1"));
    QTest::keyClicks(editor, QStringLiteral("Cameras"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(radio->text(), QStringLiteral("Cameras"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("Cameras"));
    QVERIFY(!radio->Editor());

    // Renaming to the same text emits nothing.
    QTest::mouseDClick(radio, Qt::LeftButton);
    QVERIFY(radio->Editor());
    QTest::keyClick(radio->Editor(), Qt::Key_Enter);
    QCOMPARE(changed.count(), 1);
    QVERIFY(!radio->Editor());
}

void TstButtons::radioRenameEscapeKeepsText()
{
    QWidget window;
    auto *radio = new CRadioButton(QStringLiteral("Old"), &window);
    radio->resize(120, 24);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    radio->SetEditable(true);
    QSignalSpy changed(radio, &CRadioButton::SignalTextChanged);
    QTest::mouseDClick(radio, Qt::LeftButton);
    QPointer<CLineEdit> editor = radio->Editor();
    QVERIFY(editor);
    QTest::keyClicks(editor, QStringLiteral("New"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!radio->Editor());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(editor.isNull());
    QCOMPARE(radio->text(), QStringLiteral("Old"));
    QCOMPARE(changed.count(), 0);
}

void TstButtons::radioNotEditable()
{
    CRadioButton radio(QStringLiteral("Fixed"));
    radio.resize(120, 24);
    radio.show();
    QVERIFY(QTest::qWaitForWindowExposed(&radio));
    QTest::mouseDClick(&radio, Qt::LeftButton);
    QVERIFY(!radio.Editor());
}

QTEST_MAIN(TstButtons)
#include "tst_buttons.moc"
