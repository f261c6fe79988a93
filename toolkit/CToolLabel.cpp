#include "CToolLabel.h"

#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QStylePainter>
#include <QTextDocument>
#include <QTimerEvent>
#include <QToolTip>

QPointer<CToolLabel> CToolLabel::s_pInstance;

CToolLabel::CToolLabel(const QString &text, QWidget *parent)
    : QLabel(parent, Qt::ToolTip | Qt::BypassGraphicsProxyWidget)
{
    // Only one label may exist; a new one replaces the old.
    delete s_pInstance.data();
    s_pInstance = this;

    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setPalette(QToolTip::palette());
    ensurePolished();
    setMargin(1 + style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, this));
    setFrameStyle(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft);
    setIndent(1);
    qApp->installEventFilter(this);
    setWindowOpacity(style()->styleHint(QStyle::SH_ToolTipLabel_Opacity, nullptr, this) / 255.0);
    setMouseTracking(true);
    m_bFading = false;
    ReuseTip(text);
}

CToolLabel::~CToolLabel()
{
    RestoreDescription();
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

void CToolLabel::Describe(QWidget *w)
{
    if (m_pDescribed != w) {
        RestoreDescription();
        m_pDescribed = w;
        if (w)
            m_strSavedDescription = w->accessibleDescription();
    }
    if (w && w->accessibleDescription() != text()) {
        w->setAccessibleDescription(text());
        QAccessibleEvent changed(w, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    }
    // Read out now, as a message box would be.
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void CToolLabel::RestoreDescription()
{
    QWidget *w = m_pDescribed.data();
    m_pDescribed = nullptr;
    if (!w || w->accessibleDescription() == m_strSavedDescription)
        return;
    w->setAccessibleDescription(m_strSavedDescription);
    QAccessibleEvent changed(w, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

CToolLabel *CToolLabel::Instance()
{
    return s_pInstance.data();
}

void CToolLabel::ReuseTip(const QString &text)
{
    setWordWrap(Qt::mightBeRichText(text));
    setText(text);
    QFontMetrics fm(font());
    QSize extra(1, 0);
    // Make it look good with the default tool-tip font on small sizes.
    if (fm.descent() == 2 && fm.ascent() >= 11)
        ++extra.rheight();
    resize(sizeHint() + extra);
    m_iExpireMs = 8000 + 40 * qMax(0, int(text.length()) - 100);
    m_expireTimer.start(m_iExpireMs, this);
    m_hideTimer.stop();
}

void CToolLabel::HideTip()
{
    if (!m_hideTimer.isActive())
        m_hideTimer.start(300, this);
}

void CToolLabel::HideTipImmediately()
{
    m_hideTimer.stop();
    m_expireTimer.stop();
    RestoreDescription();
    close();
    deleteLater();
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

void CToolLabel::SetTipRect(QWidget *w, const QRect &rect)
{
    if (!rect.isNull() && !w) {
        qWarning("CToolTip::setTipRect: Cannot pass null widget if rect is set");
        return;
    }
    m_pWidget = w;
    m_rect = rect;
}

bool CToolLabel::TipChanged(const QPoint &pos, const QString &text, QObject *o) const
{
    if (text != this->text())
        return true;
    if (o != m_pWidget.data())
        return true;
    if (!m_rect.isNull())
        return !m_rect.contains(pos);
    return false;
}

void CToolLabel::PlaceTip(const QPoint &pos, QWidget *w)
{
    Q_UNUSED(w);
    QScreen *screen = QGuiApplication::screenAt(pos);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);

    QPoint p = pos + QPoint(2, 21);
    if (p.x() + width() > area.x() + area.width())
        p.rx() -= 4 + width();
    if (p.y() + height() > area.y() + area.height())
        p.ry() -= 24 + height();
    if (p.y() < area.y())
        p.setY(area.y());
    if (p.x() + width() > area.x() + area.width())
        p.setX(area.x() + area.width() - width());
    if (p.x() < area.x())
        p.setX(area.x());
    if (p.y() + height() > area.y() + area.height())
        p.setY(area.y() + area.height() - height());
    move(p);
}

void CToolLabel::ShowText(const QPoint &pos, const QString &text, QWidget *w, const QRect &rect)
{
    CToolLabel *label = s_pInstance.data();
    if (label && label->isVisible()) {
        if (text.isEmpty()) {
            label->HideTip();
            return;
        }
        if (!label->m_bFading) {
            // The tip rectangle is in the widget's coordinates.
            QPoint localPos = pos;
            if (w)
                localPos = w->mapFromGlobal(pos);
            if (label->TipChanged(localPos, text, w)) {
                label->ReuseTip(text);
                label->SetTipRect(w, rect);
                label->PlaceTip(pos, w);
                label->Describe(w);
            }
            return;
        }
    }
    if (text.isEmpty())
        return;
    label = new CToolLabel(text, nullptr);
    if (QScreen *screen = QGuiApplication::screenAt(pos))
        label->setScreen(screen);
    label->SetTipRect(w, rect);
    label->PlaceTip(pos, w);
    label->setObjectName(QStringLiteral("ctooltip_label"));
    label->show();
    label->Describe(w);
}

void CToolLabel::timerEvent(QTimerEvent *e)
{
    if (e->timerId() == m_hideTimer.timerId() || e->timerId() == m_expireTimer.timerId()) {
        m_hideTimer.stop();
        m_expireTimer.stop();
        HideTipImmediately();
        return;
    }
    QLabel::timerEvent(e);
}

bool CToolLabel::eventFilter(QObject *o, QEvent *e)
{
    switch (e->type()) {
    case QEvent::Leave:
        // Leaving the label itself counts too: the pointer may have rested
        // on the tip before it went away.
        HideTip();
        break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        if (o != this && o->isWidgetType() && static_cast<QWidget *>(o)->isWindow())
            HideTipImmediately();
        break;
    default: break;
    }
    return false;
}

void CToolLabel::mouseMoveEvent(QMouseEvent *e)
{
    if (!m_rect.isNull() && m_pWidget) {
        const QPoint pos = m_pWidget->mapFromGlobal(e->globalPosition().toPoint());
        if (!m_rect.contains(pos))
            HideTip();
    }
    QLabel::mouseMoveEvent(e);
}

void CToolLabel::paintEvent(QPaintEvent *e)
{
    QStylePainter p(this);
    QStyleOptionFrame opt;
    opt.initFrom(this);
    p.drawPrimitive(QStyle::PE_PanelTipLabel, opt);
    p.end();
    QLabel::paintEvent(e);
}

void CToolLabel::resizeEvent(QResizeEvent *e)
{
    QStyleHintReturnMask frameMask;
    QStyleOption option;
    option.initFrom(this);
    if (style()->styleHint(QStyle::SH_ToolTip_Mask, &option, this, &frameMask))
        setMask(frameMask.region);
    QLabel::resizeEvent(e);
}
