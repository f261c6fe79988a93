#include "CTitleWidget.h"

#include <QPainter>
#include <QStyleOption>

CTitleWidget::CTitleWidget(QWidget *parent)
    : QWidget(parent)
    , m_uAlignment(quint16(Qt::AlignHCenter | Qt::AlignVCenter))
    , m_colorText(Qt::white)
{}

void CTitleWidget::SetText(const QString &strText)
{
    if (strText == m_strText)
        return;
    m_strText = strText;
    update();
}

void CTitleWidget::SetAlignment(Qt::Alignment align)
{
    if (quint16(align) == m_uAlignment)
        return;
    m_uAlignment = quint16(align);
    update();
}

void CTitleWidget::SetStripPixmap(const QPixmap &pixmap)
{
    m_pixStrip = pixmap;
    update();
}

void CTitleWidget::SetBackgroundPixmap(const QPixmap &pixmap)
{
    m_pixBackground = pixmap;
    update();
}

void CTitleWidget::SetBackgroundColor(const QColor &color)
{
    m_colorBackground = color;
    update();
}

void CTitleWidget::SetTextColor(const QColor &color)
{
    m_colorText = color;
    update();
}

void CTitleWidget::SetTextMargins(int left, int top, int right, int bottom)
{
    m_iLeftMargin = qint16(left);
    m_iTopMargin = qint16(top);
    m_iRightMargin = qint16(right);
    m_iBottomMargin = qint16(bottom);
    update();
}

QMargins CTitleWidget::GetTextMargins() const
{
    return QMargins(m_iLeftMargin, m_iTopMargin, m_iRightMargin, m_iBottomMargin);
}

bool CTitleWidget::DrawTitleBackground(QPainter &painter)
{
    if (m_colorBackground.isValid())
        painter.fillRect(rect(), m_colorBackground);
    if (!m_pixBackground.isNull())
        painter.drawPixmap(rect(), m_pixBackground);
    return true;
}

QString CTitleWidget::FittedText(const QRect &rect, const QFontMetrics &fm) const
{
    const int available = rect.width() - m_iLeftMargin - m_iRightMargin;
    const QRect inner = rect.adjusted(m_iLeftMargin, m_iTopMargin, -m_iRightMargin, -m_iBottomMargin);
    const int textWidth = fm.horizontalAdvance(m_strText);
    const Qt::Alignment align(m_uAlignment);
    if (textWidth > available)
        return fm.elidedText(m_strText, Qt::ElideRight, qMax(0, inner.width()));
    if (align & Qt::AlignHCenter) {
        // Centred text must not run under whatever sits in the right margin.
        const int bound = rect.width() / 2 - m_iRightMargin;
        QString text = m_strText;
        if (fm.horizontalAdvance(text) / 2 < bound)
            return text;
        const QString dots = QStringLiteral("...");
        while (!text.isEmpty() && fm.horizontalAdvance(text + dots) / 2 >= bound)
            text.chop(1);
        return text + dots;
    }
    return m_strText;
}

bool CTitleWidget::DrawTitleText(QPainter &painter, const QRect &rect)
{
    if (m_strText.isEmpty())
        return true;
    const QFontMetrics fm(font());
    const int available = rect.width() - m_iLeftMargin - m_iRightMargin;
    const QRect inner = rect.adjusted(m_iLeftMargin, m_iTopMargin, -m_iRightMargin, -m_iBottomMargin);
    Qt::Alignment align(m_uAlignment);
    if (fm.horizontalAdvance(m_strText) > available && (align & Qt::AlignHCenter))
        align = (align & ~Qt::AlignHorizontal_Mask) | Qt::AlignLeft;
    painter.setPen(m_colorText);
    painter.setFont(font());
    painter.drawText((align & Qt::AlignHCenter) ? rect : inner, int(align), FittedText(rect, fm));
    return true;
}

void CTitleWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption opt;
    opt.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &opt, &painter, this);
    DrawTitleBackground(painter);
    if (!m_pixStrip.isNull())
        painter.drawTiledPixmap(QRect(0, 0, qMin(34, width()), height()), m_pixStrip);
    DrawTitleText(painter, contentsRect());
}
