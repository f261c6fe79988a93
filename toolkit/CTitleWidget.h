#pragma once
// A title bar: optional background colour and picture, a picture strip in
// the leftmost 34 pixels and an elided title text.

#include <QPixmap>
#include <QWidget>

class CTitleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CTitleWidget(QWidget *parent = nullptr);

    void SetText(const QString &strText);
    QString GetText() const { return m_strText; }
    void SetAlignment(Qt::Alignment align);
    Qt::Alignment GetAlignment() const { return Qt::Alignment(m_uAlignment); }
    void SetStripPixmap(const QPixmap &pixmap);
    QPixmap GetStripPixmap() const { return m_pixStrip; }
    void SetBackgroundPixmap(const QPixmap &pixmap);
    QPixmap GetBackgroundPixmap() const { return m_pixBackground; }
    void SetBackgroundColor(const QColor &color);
    QColor GetBackgroundColor() const { return m_colorBackground; }
    void SetTextColor(const QColor &color);
    QColor GetTextColor() const { return m_colorText; }
    void SetTextMargins(int left, int top, int right, int bottom);
    QMargins GetTextMargins() const;

    // The text as it will be drawn into a rectangle of the given width.
    QString FittedText(const QRect &rect, const QFontMetrics &fm) const;

protected:
    virtual bool DrawTitleText(QPainter &painter, const QRect &rect);
    virtual bool DrawTitleBackground(QPainter &painter);
    void paintEvent(QPaintEvent *e) override;

private:
    QString m_strText;
    quint16 m_uAlignment;
    QPixmap m_pixStrip;
    QPixmap m_pixBackground;
    QColor m_colorBackground;
    QColor m_colorText;
    qint16 m_iLeftMargin = 0;
    qint16 m_iTopMargin = 0;
    qint16 m_iRightMargin = 0;
    qint16 m_iBottomMargin = 0;
};
