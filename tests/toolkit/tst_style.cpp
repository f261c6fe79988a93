// COrviStyle and the tool-tip label.

#include "COrviStyle.h"
#include "CToolLabel.h"

#include <QFrame>
#include <QListWidget>
#include <QTabBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyleFactory>
#include <QStyleOption>
#include <QtTest>

class TstStyle : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void metrics();
    void sliderGeometry();
    void suppressedPrimitives();
    void itemTextElision();
    void progressBarFromImages();
    void styledPanelHasNoFrame();
    void tabCloseIndicator();
    void tabsFromImages();
    void selectedItemFromImage();
    void tipDuration();
    void tipReuse();
    void tipAtScreenCorner();
    void tipHideDelayAndEmptyText();
    void tipReplacesPrevious();
    void tipRectNeedsWidget();
    void tipHidesOnLeave();
};

namespace {
QImage blank(QSize size)
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    return img;
}
bool isBlank(const QImage &img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) != 0)
                return false;
    return true;
}
} // namespace

void TstStyle::initTestCase()
{
    QApplication::setStyle(new COrviStyle);
}

void TstStyle::cleanup()
{
    if (CToolLabel *label = CToolLabel::Instance())
        label->HideTipImmediately();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TstStyle::metrics()
{
    COrviStyle style;
    QVERIFY(style.baseStyle());
    QCOMPARE(style.baseStyle()->name().toLower(), QStringLiteral("windows"));
    QCOMPARE(style.pixelMetric(QStyle::PM_MenuButtonIndicator), 0);
    QCOMPARE(style.pixelMetric(QStyle::PM_SliderLength), 13);
    QCOMPARE(style.pixelMetric(QStyle::PM_TabCloseIndicatorWidth), 20);
    QCOMPARE(style.pixelMetric(QStyle::PM_TabCloseIndicatorHeight), 20);
}

void TstStyle::sliderGeometry()
{
    QSlider slider(Qt::Horizontal);
    slider.resize(200, 30);
    QStyleOptionSlider opt;
    opt.initFrom(&slider);
    opt.orientation = Qt::Horizontal;
    opt.minimum = 0;
    opt.maximum = 100;
    opt.sliderPosition = 50;
    opt.sliderValue = 50;
    opt.rect = QRect(0, 0, 200, 30);
    COrviStyle style;
    const QRect handle = style.subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &slider);
    const QRect groove = style.subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, &slider);
    QCOMPARE(handle.top(), 15 - 4);
    QCOMPARE(groove.top(), 15 - 2);
    QCOMPARE(handle.width(), 13);
}

// Texts are elided only when what is drawn does not fit; a mnemonic '&'
// takes no room.
void TstStyle::itemTextElision()
{
    COrviStyle style;
    QStyle *plain = QStyleFactory::create(QStringLiteral("Windows"));
    QScopedPointer<QStyle> owner(plain);
    const QPalette pal;
    auto draw = [&pal](QStyle *st, const QString &text, int width, int flags) {
        QImage img = blank(QSize(width + 20, 24));
        QPainter p(&img);
        st->drawItemText(&p, QRect(0, 0, width, 24), Qt::AlignLeft | Qt::AlignVCenter | flags, pal, true, text,
                         QPalette::WindowText);
        p.end();
        return img;
    };
    const QFontMetrics fm(QApplication::font());
    for (const QString &text : {QStringLiteral("&File"), QString::fromUtf8("视图(&V)")}) {
        const int fits = fm.size(Qt::TextShowMnemonic, text).width();
        QCOMPARE(draw(&style, text, fits, Qt::TextShowMnemonic), draw(plain, text, fits, Qt::TextShowMnemonic));
        QCOMPARE(draw(&style, text, fits, Qt::TextHideMnemonic), draw(plain, text, fits, Qt::TextHideMnemonic));
        // A little narrower and it is elided, where the plain style cuts
        // the text off.
        QVERIFY(draw(&style, text, fits - 4, Qt::TextShowMnemonic)
                != draw(plain, text, fits - 4, Qt::TextShowMnemonic));
    }
}

void TstStyle::suppressedPrimitives()
{
    // Each primitive with the option the base style needs to draw it: the
    // base style draws something, this style nothing.
    COrviStyle style;
    QScopedPointer<QStyle> base(QStyleFactory::create(QStringLiteral("Windows")));
    QPushButton button(QStringLiteral("focus"));
    const QRect rect(0, 0, 40, 20);
    auto draw = [&button](const QStyle *st, QStyle::PrimitiveElement pe, const QStyleOption &opt) {
        QImage img = blank(QSize(40, 20));
        QPainter p(&img);
        st->drawPrimitive(pe, &opt, &p, &button);
        return img;
    };
    auto init = [&](QStyleOption &opt) {
        opt.initFrom(&button);
        opt.rect = rect;
        opt.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
    };
    auto check = [&](QStyle::PrimitiveElement pe, const QStyleOption &opt) {
        QVERIFY2(!isBlank(draw(base.data(), pe, opt)), qPrintable(QString::number(int(pe))));
        QVERIFY2(isBlank(draw(&style, pe, opt)), qPrintable(QString::number(int(pe))));
    };
    QStyleOptionFocusRect focus;
    init(focus);
    check(QStyle::PE_FrameFocusRect, focus);
    QStyleOptionTabBarBase tabBase;
    init(tabBase);
    tabBase.shape = QTabBar::RoundedNorth;
    tabBase.tabBarRect = QRect(0, 0, 40, 18);
    tabBase.selectedTabRect = QRect(10, 0, 10, 18);
    check(QStyle::PE_FrameTabBarBase, tabBase);
    QStyleOptionTab tab;
    init(tab);
    tab.shape = QTabBar::RoundedNorth;
    check(QStyle::PE_IndicatorTabTear, tab);
    QStyleOptionViewItem row;
    init(row);
    row.features |= QStyleOptionViewItem::Alternate;
    row.palette.setColor(QPalette::AlternateBase, Qt::red);
    check(QStyle::PE_PanelItemViewRow, row);

    // A focused push button renders the same as an unfocused one.
    QPushButton focused(QStringLiteral("OK"));
    focused.resize(80, 24);
    focused.show();
    QVERIFY(QTest::qWaitForWindowExposed(&focused));
    const QImage before = focused.grab().toImage();
    focused.setFocus(Qt::TabFocusReason);
    QApplication::setActiveWindow(&focused);
    QTRY_VERIFY(focused.hasFocus());
    const QImage after = focused.grab().toImage();
    QCOMPARE(after, before);
}

void TstStyle::progressBarFromImages()
{
    QProgressBar bar;
    bar.setTextVisible(false);
    bar.setRange(0, 100);
    bar.setValue(50);
    bar.resize(200, 20);
    const QImage img = bar.grab().toImage();
    // Filled part (accent blue) on the left, empty groove on the right.
    const QColor filled = img.pixelColor(50, 10);
    const QColor empty = img.pixelColor(170, 10);
    QVERIFY2(filled.blue() > filled.red() + 60, qPrintable(filled.name()));
    QVERIFY2(qAbs(empty.blue() - empty.red()) < 40, qPrintable(empty.name()));

    bar.setValue(0);
    const QImage none = bar.grab().toImage();
    const QColor noFill = none.pixelColor(50, 10);
    QVERIFY2(qAbs(noFill.blue() - noFill.red()) < 40, qPrintable(noFill.name()));
}

void TstStyle::styledPanelHasNoFrame()
{
    QFrame frame;
    frame.setFrameShape(QFrame::StyledPanel);
    frame.setFrameShadow(QFrame::Raised);
    frame.resize(40, 40);
    const QImage img = frame.grab().toImage();
    const QRgb fill = img.pixel(20, 20);
    for (int i = 0; i < 40; ++i) {
        QCOMPARE(img.pixel(i, 0), fill);
        QCOMPARE(img.pixel(0, i), fill);
        QCOMPARE(img.pixel(39, i), fill);
    }
}

void TstStyle::tabCloseIndicator()
{
    COrviStyle style;
    QStyleOption opt;
    opt.rect = QRect(0, 0, 20, 20);
    opt.state = QStyle::State_Enabled;
    QImage img = blank(QSize(20, 20));
    {
        QPainter p(&img);
        style.drawPrimitive(QStyle::PE_IndicatorTabClose, &opt, &p);
    }
    QVERIFY(isBlank(img)); // neither selected nor hovered
    opt.state |= QStyle::State_MouseOver;
    {
        QPainter p(&img);
        style.drawPrimitive(QStyle::PE_IndicatorTabClose, &opt, &p);
    }
    // The hover picture has a red disc.
    const QColor centreLeft = img.pixelColor(5, 10);
    QVERIFY2(centreLeft.red() > 150 && centreLeft.green() < 100, qPrintable(centreLeft.name()));
}

void TstStyle::tabsFromImages()
{
    QTabBar bar;
    bar.addTab(QStringLiteral("One"));
    bar.addTab(QStringLiteral("Two"));
    bar.resize(300, 40);
    const QImage img = bar.grab().toImage();
    const QRect r0 = bar.tabRect(0);
    const QRect r1 = bar.tabRect(1);
    // Away from the text: the selected ground is the light accent, the
    // other the dark slate.
    const QColor selected = img.pixelColor(r0.left() + 4, r0.top() + 4);
    const QColor other = img.pixelColor(r1.left() + 4, r1.top() + 4);
    QVERIFY2(selected.blue() > 200 && selected.blue() > selected.red() + 50, qPrintable(selected.name()));
    QVERIFY2(other.lightness() < 120, qPrintable(other.name()));
    // Narrowed by 2 on the left: the first two columns are not painted by
    // the tab ground.
    QVERIFY(img.pixelColor(r0.left(), r0.top() + 4) != selected);
}

void TstStyle::selectedItemFromImage()
{
    QListWidget list;
    list.resize(200, 100);
    list.addItem(QStringLiteral(" "));
    list.addItem(QStringLiteral(" "));
    list.item(0)->setSelected(true);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const QImage img = list.viewport()->grab().toImage();
    const QRect r0 = list.visualItemRect(list.item(0));
    const QRect r1 = list.visualItemRect(list.item(1));
    const QColor selected = img.pixelColor(r0.center().x() + 40, r0.center().y());
    const QColor plain = img.pixelColor(r1.center().x() + 40, r1.center().y());
    QVERIFY2(selected.blue() > selected.red() + 20, qPrintable(selected.name()));
    QVERIFY2(selected != plain, qPrintable(plain.name()));
}

void TstStyle::tipDuration()
{
    QWidget w;
    CToolLabel::ShowText(QPoint(100, 100), QStringLiteral("short"), &w);
    CToolLabel *label = CToolLabel::Instance();
    QVERIFY(label);
    QVERIFY(label->isVisible());
    QCOMPARE(label->objectName(), QStringLiteral("ctooltip_label"));
    QVERIFY(label->windowFlags() & Qt::ToolTip);
    QCOMPARE(label->ExpireInterval(), 8000);
    CToolLabel::ShowText(QPoint(100, 100), QString(300, QLatin1Char('x')), &w);
    QCOMPARE(CToolLabel::Instance(), label);
    QCOMPARE(label->ExpireInterval(), 16000);
    CToolLabel::ShowText(QPoint(100, 100), QString(101, QLatin1Char('y')), &w);
    QCOMPARE(label->ExpireInterval(), 8040);
}

void TstStyle::tipReuse()
{
    QWidget w;
    QWidget other;
    CToolLabel::ShowText(QPoint(100, 100), QStringLiteral("same"), &w);
    CToolLabel *label = CToolLabel::Instance();
    const QPoint placed = label->pos();
    // Same text, same widget: neither moves nor is set again.
    CToolLabel::ShowText(QPoint(300, 200), QStringLiteral("same"), &w);
    QCOMPARE(CToolLabel::Instance(), label);
    QCOMPARE(label->pos(), placed);
    // Another widget: the label is reused and placed anew.
    CToolLabel::ShowText(QPoint(300, 200), QStringLiteral("same"), &other);
    QCOMPARE(CToolLabel::Instance(), label);
    QCOMPARE(label->pos(), QPoint(302, 221));
    QCOMPARE(label->TipWidget(), &other);
    // Another text.
    CToolLabel::ShowText(QPoint(120, 120), QStringLiteral("changed"), &other);
    QCOMPARE(label->text(), QStringLiteral("changed"));
    QCOMPARE(label->pos(), QPoint(122, 141));
}

void TstStyle::tipAtScreenCorner()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint pos = area.bottomRight() - QPoint(3, 3);
    CToolLabel::ShowText(pos, QStringLiteral("Near the corner of the screen"), nullptr);
    CToolLabel *label = CToolLabel::Instance();
    QVERIFY(label);
    const QRect g = label->geometry();
    QVERIFY(area.contains(g));
    QVERIFY(g.right() < pos.x());
    QVERIFY(g.bottom() < pos.y());
    // Top-left corner: kept inside the area, right and below the position.
    CToolLabel::ShowText(area.topLeft(), QStringLiteral("Top left corner"), nullptr);
    QCOMPARE(label->pos(), area.topLeft() + QPoint(2, 21));
}

void TstStyle::tipHideDelayAndEmptyText()
{
    CToolLabel::ShowText(QPoint(50, 50), QString(), nullptr);
    QVERIFY(!CToolLabel::Instance());
    CToolLabel::ShowText(QPoint(50, 50), QStringLiteral("bye"), nullptr);
    QPointer<CToolLabel> label = CToolLabel::Instance();
    QVERIFY(label);
    QElapsedTimer t;
    t.start();
    CToolLabel::ShowText(QPoint(50, 50), QString(), nullptr);
    QVERIFY(label->IsHidePending());
    QVERIFY(label->isVisible());
    QTRY_VERIFY(label.isNull());
    QVERIFY(t.elapsed() >= 290);
}

void TstStyle::tipReplacesPrevious()
{
    QPointer<CToolLabel> first = new CToolLabel(QStringLiteral("one"));
    QCOMPARE(CToolLabel::Instance(), first.data());
    auto *second = new CToolLabel(QStringLiteral("two"));
    QVERIFY(first.isNull());
    QCOMPARE(CToolLabel::Instance(), second);
    second->HideTipImmediately();
    QVERIFY(!CToolLabel::Instance());
}

void TstStyle::tipRectNeedsWidget()
{
    CToolLabel::ShowText(QPoint(50, 50), QStringLiteral("rect"), nullptr);
    CToolLabel *label = CToolLabel::Instance();
    QWidget w;
    label->SetTipRect(&w, QRect());
    QTest::ignoreMessage(QtWarningMsg, "CToolTip::setTipRect: Cannot pass null widget if rect is set");
    label->SetTipRect(nullptr, QRect(0, 0, 10, 10));
    QCOMPARE(label->TipWidget(), &w);
}

void TstStyle::tipHidesOnLeave()
{
    QWidget w;
    CToolLabel::ShowText(QPoint(50, 50), QStringLiteral("leave"), &w);
    QPointer<CToolLabel> label = CToolLabel::Instance();
    QVERIFY(!label->IsHidePending());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&w, &leave);
    QVERIFY(label->IsHidePending());
    QTRY_VERIFY(label.isNull());

    // The pointer leaving the label itself (it had moved onto the tip).
    CToolLabel::ShowText(QPoint(50, 50), QStringLiteral("leave the label"), &w);
    label = CToolLabel::Instance();
    QVERIFY(label && !label->IsHidePending());
    QApplication::sendEvent(label.data(), &leave);
    QVERIFY(label->IsHidePending());
    QTRY_VERIFY(label.isNull());

    // Window activation hides at once.
    CToolLabel::ShowText(QPoint(50, 50), QStringLiteral("activate"), &w);
    label = CToolLabel::Instance();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&w, &activate);
    QVERIFY(!label || !label->isVisible());
}

QTEST_MAIN(TstStyle)
#include "tst_style.moc"
