#pragma once
// Small button classes of the toolkit.

#include <QBasicTimer>
#include <QFrame>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVariant>

#include "LineEdits.h"

class QGridLayout;

// Reports pointer enter and leave.
class CPushButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CPushButton(QWidget *parent = nullptr);
    explicit CPushButton(const QString &text, QWidget *parent = nullptr);
    CPushButton(const QIcon &icon, const QString &text, QWidget *parent = nullptr);

signals:
    void SignalMouseEnter();
    void SignalMouseLeave();

protected:
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
};

// Emits SignalDelayRelease() 2 s after the last release, and not while it
// is checked.
class CDelayButton : public CPushButton
{
    Q_OBJECT
public:
    explicit CDelayButton(QWidget *parent = nullptr);
    explicit CDelayButton(const QString &text, QWidget *parent = nullptr);

    static constexpr int kDelayMs = 2000;
    bool IsDelayPending() const { return m_timer.isActive(); }

signals:
    void SignalDelayRelease();

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void timerEvent(QTimerEvent *e) override;

private:
    QBasicTimer m_timer;
};

// Paints one centred picture, optionally fading with an opacity.
class CIconButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(float m_fIconOpacity READ IconOpacity WRITE SetIconOpacity)
    Q_PROPERTY(bool m_bAutoHide READ IsAutoHide WRITE SetAutoHide)
    Q_PROPERTY(QPixmap m_pixmap READ Pixmap WRITE SetPixmap)
public:
    explicit CIconButton(QWidget *parent = nullptr);

    float IconOpacity() const { return m_fIconOpacity; }
    void SetIconOpacity(float fOpacity);
    bool IsAutoHide() const { return m_bAutoHide; }
    void SetAutoHide(bool bAutoHide) { m_bAutoHide = bAutoHide; }
    QPixmap Pixmap() const { return m_pixmap; }
    void SetPixmap(const QPixmap &pixmap);
    // Fades the picture in (true) or out (false) over 160 ms.
    void AnimateShow(bool bVisible);

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    float m_fIconOpacity = 0.0f;
    bool m_bAutoHide = false;
    QPixmap m_pixmap;
};

// A three-step choice "Low", "Middle", "High".
class CRankButton : public QFrame
{
    Q_OBJECT
public:
    explicit CRankButton(QWidget *parent = nullptr);

    // Refused (false) unless 1 <= uiRank <= 3.
    bool SetRank(uint uiRank);
    uint Rank() const { return m_uiRank; }
    void SetTexts(const QString &strLow, const QString &strMiddle, const QString &strHigh);
    QPushButton *RankButton(int iIndex) const; // 1..3

signals:
    void ClickRank(uint uiRank);
    void RankChanged(uint uiRank);

protected slots:
    void ClickRank1Btn();
    void ClickRank2Btn();
    void ClickRank3Btn();

private:
    CPushButton *m_pRank1Btn;
    CPushButton *m_pRank2Btn;
    CPushButton *m_pRank3Btn;
    QGridLayout *m_pLayout;
    uint m_uiRank = 1;
};

// A tool button that can let only one click per interval through.
class CToolButton : public QToolButton
{
    Q_OBJECT
public:
    explicit CToolButton(QWidget *parent = nullptr);

    void SetThrottle(bool bThrottle) { m_bThrottle = bThrottle; }
    bool IsThrottle() const { return m_bThrottle; }
    void SetInterval(int iMs) { m_iInterval = iMs; }
    int Interval() const { return m_iInterval; }

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    QTimer m_timer;
    bool m_bThrottle = false;
    int m_iInterval = 0;
};

// A tool button carrying a user value.
class CUserToolButton : public QToolButton
{
    Q_OBJECT
public:
    explicit CUserToolButton(QWidget *parent = nullptr);

    QVariant UserValue() const { return m_userValue; }
    void SetUserValue(const QVariant &value) { m_userValue = value; }

private:
    QVariant m_userValue;
};

// A radio button the user can rename in place with a double click.
class CRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    explicit CRadioButton(QWidget *parent = nullptr);
    explicit CRadioButton(const QString &text, QWidget *parent = nullptr);

    void SetEditable(bool bEditable) { m_bEditable = bEditable; }
    bool IsEditable() const { return m_bEditable; }
    // The rename editor while it is open, or null.
    CLineEdit *Editor() const { return m_pEditor.data(); }

    bool eventFilter(QObject *o, QEvent *e) override;

signals:
    void SignalTextChanged(const QString &strText);

protected slots:
    void OnSetText(const QString &strText);

protected:
    void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
    void CloseEditor();
    bool m_bEditable = false;
    QPointer<CLineEdit> m_pEditor;
};
