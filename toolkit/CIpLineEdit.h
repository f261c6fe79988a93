#pragma once
// A four-part IPv4 address field: octet, dot, octet, dot, octet, dot,
// octet, drawn as one line-edit panel.

#include <QWidget>

class QLineEdit;
class QIntValidator;

class CIpLineEdit : public QWidget
{
    Q_OBJECT
public:
    explicit CIpLineEdit(QWidget *parent = nullptr);

    // The seven texts joined, dots included ("192.168.1.5", "..." when empty).
    QString text() const;
    // Accepts blanks, digits and exactly three dots with numbers 0..255;
    // returns 1 when the address was taken, 0 otherwise.
    int SetText(const char *pszText);
    // Each octet shows the low byte of its value.
    void SetText(int a, int b, int c, int d);
    // Octets from one 32-bit number (bits 31..24 first).
    void SetAddress(quint32 uiAddress);
    // The address as one 32-bit number; returns the number of zero octets.
    int GetAddress(quint32 &uiAddress) const;
    bool IsEmpty() const;
    void Clear();

    // Octet 0..3 (for callers that need the fields themselves).
    QLineEdit *Octet(int iIndex) const;

    bool eventFilter(QObject *o, QEvent *e) override;

protected:
    void paintEvent(QPaintEvent *e) override;

private slots:
    void OnTextChanged(const QString &text);
    void OnTextChanged3(const QString &text);
    void OnTextChanged5(const QString &text);
    void OnTextChanged7(const QString &text);

private:
    void RangeMessage(const QString &value, int iLow, int iHigh);
    int OctetIndex(QObject *o) const;
    QLineEdit *m_pEdit[7]; // octet, dot, octet, dot, octet, dot, octet
    QIntValidator *m_pValidator;
};
