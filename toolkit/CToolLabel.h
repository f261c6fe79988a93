#pragma once
// The toolkit's tool-tip window: one label at a time, used to show short
// messages next to a widget (for example a refused character in a field).
//
//   CToolLabel::ShowText(field->mapToGlobal(QPoint(0, 0)), message, field);
//
// The label stays 8000 ms plus 40 ms for every character beyond 100, hides
// 300 ms after the pointer leaves a widget and at once when a window is
// activated or deactivated. While it is shown for a widget, its text is that
// widget's accessible description, and screen readers are alerted to it.

#include <QBasicTimer>
#include <QLabel>
#include <QPointer>
#include <QRect>

class CToolLabel : public QLabel
{
    Q_OBJECT
public:
    CToolLabel(const QString &text, QWidget *parent = nullptr);
    ~CToolLabel() override;

    // The single entry point: shows text at a global position for widget
    // (optionally only while the pointer stays inside rect, in widget
    // coordinates). An empty text hides the current tip.
    static void ShowText(const QPoint &pos, const QString &text, QWidget *w = nullptr, const QRect &rect = QRect());
    // The label currently shown, or null.
    static CToolLabel *Instance();

    void HideTip();            // hide after 300 ms unless already pending
    void HideTipImmediately(); // close now
    void SetTipRect(QWidget *w, const QRect &rect);
    void ReuseTip(const QString &text);
    void PlaceTip(const QPoint &pos, QWidget *w);
    bool TipChanged(const QPoint &pos, const QString &text, QObject *o) const;

    // How long the current text stays, in milliseconds.
    int ExpireInterval() const { return m_iExpireMs; }
    bool IsHidePending() const { return m_hideTimer.isActive(); }
    QWidget *TipWidget() const { return m_pWidget; }

    bool eventFilter(QObject *o, QEvent *e) override;

protected:
    void timerEvent(QTimerEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;

private:
    // Makes the text the widget's description for screen readers, keeping
    // the one it had; Restore gives it back.
    void Describe(QWidget *w);
    void RestoreDescription();

    static QPointer<CToolLabel> s_pInstance;
    QPointer<QWidget> m_pDescribed;
    QString m_strSavedDescription;
    QBasicTimer m_hideTimer;
    QBasicTimer m_expireTimer;
    bool m_bFading = false;
    QPointer<QWidget> m_pWidget;
    QRect m_rect;
    int m_iExpireMs = 0;
};
