#pragma once
// Line edits: signals for cursor and focus, password fields without
// clipboard shortcuts, name fields that refuse file-name characters, and
// line edits with side buttons (filter and search forms).

#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>

class QMenu;
class QPushButton;
class CIconButton;

class CLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CLineEdit(QWidget *parent = nullptr);
    explicit CLineEdit(const QString &text, QWidget *parent = nullptr);

signals:
    void SignalEditingFinished(const QString &strText);
    void SignalCursorPosition(int iPos);
    void SignalFocusIn();

public slots:
    void OnEditingFinished();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
};

class CPasswordLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CPasswordLineEdit(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *e) override;
#ifdef TOOLKIT_PLUGIN_EDITION
    void contextMenuEvent(QContextMenuEvent *e) override;
#endif
};

// Refuses the characters that file names cannot hold: the text falls back
// to the last accepted text and a tool-tip label explains why.
class CValidateLineEdit : public CLineEdit
{
    Q_OBJECT
public:
    explicit CValidateLineEdit(QWidget *parent = nullptr);

    // Replaces the forbidden pattern and the message shown on refusal.
    void SetPattern(const QRegularExpression &rx, const QString &strMessage);
    QRegularExpression Pattern() const { return m_rxForbidden; }
    QString Message() const;

signals:
    void SignalTextChanged(const QString &strText);

public slots:
    void OnTextChanged(const QString &strText);

private:
    QRegularExpression m_rxForbidden;
    QString m_strLastText;
    QString m_strMessage;
    bool m_bOwnMessage = false;
};

// The same, also refusing the apostrophe.
class CValidateLineEditEx : public CValidateLineEdit
{
    Q_OBJECT
public:
    explicit CValidateLineEditEx(QWidget *parent = nullptr);
};

class CFancyLineEditPrivate;

// A line edit with an optional icon button at either side.
class CFancyLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    enum Side { Left = 0, Right = 1 };
    Q_ENUM(Side)

    explicit CFancyLineEdit(QWidget *parent = nullptr);
    ~CFancyLineEdit() override;

    QPixmap ButtonPixmap(Side side) const;
    void SetButtonPixmap(Side side, const QPixmap &pixmap);
    QMenu *ButtonMenu(Side side) const;
    void SetButtonMenu(Side side, QMenu *menu);
    void SetButtonVisible(Side side, bool visible);
    bool IsButtonVisible(Side side) const;
    void SetButtonToolTip(Side side, const QString &tip);
    void SetButtonFocusPolicy(Side side, Qt::FocusPolicy policy);
    // An auto-hiding button is only visible while the field holds text.
    void SetAutoHideButton(Side side, bool autoHide);
    bool HasAutoHideButton(Side side) const;
    CIconButton *Button(Side side) const;

signals:
    void SignalButtonClicked(CFancyLineEdit::Side enumSide);
    void SignalLeftButtonClicked();
    void SignalRightButtonClicked();

protected:
    void resizeEvent(QResizeEvent *e) override;

private slots:
    void OnCheckButtons(const QString &text);
    void OnIconClicked();

private:
    void UpdateMargins();
    void UpdateButtonPositions();
    CFancyLineEditPrivate *d;
    QString m_strOldText;
};

class CFilterLineEdit : public CFancyLineEdit
{
    Q_OBJECT
public:
    explicit CFilterLineEdit(QWidget *parent = nullptr);

signals:
    void SignalFilterChanged(const QString &strText);

private slots:
    void OnTextChanged();

private:
    QString m_strLastFilterText;
};

// A filter field with a search button beside it.
class CSearchLineEdit : public QWidget
{
    Q_OBJECT
public:
    explicit CSearchLineEdit(QWidget *parent = nullptr);

    CFilterLineEdit *FilterLineEdit() const { return m_pFilterLineEdit; }
    QPushButton *SearchButton() const { return m_pSearchBtn; }
    QString Text() const;

signals:
    void SignalFilterChanged(const QString &strText);
    void SignalSearch();

private:
    CFilterLineEdit *m_pFilterLineEdit;
    QPushButton *m_pSearchBtn;
};
