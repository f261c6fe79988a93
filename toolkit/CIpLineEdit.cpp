#include "CIpLineEdit.h"

#include "CWarnDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <cstdio>
#include <cstring>

CIpLineEdit::CIpLineEdit(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Dialog"));
    m_pValidator = new QIntValidator(0, 999, this);

    auto *grid = new QGridLayout(this);
    grid->setSpacing(0);
    grid->setContentsMargins(1, 1, 1, 1);
    auto *row = new QHBoxLayout;
    row->setSpacing(0);
    grid->addLayout(row, 0, 0);

    for (int i = 0; i < 7; ++i) {
        auto *edit = new QLineEdit(this);
        edit->setFrame(false);
        // Let the panel drawn by this widget show through.
        edit->setAttribute(Qt::WA_TranslucentBackground);
        edit->setStyleSheet(QStringLiteral("QLineEdit{background: transparent;}"));
        if (i % 2 == 0) {
            edit->setObjectName(QStringLiteral("lineEditIp%1").arg(i / 2 + 1));
            edit->setValidator(m_pValidator);
            edit->setMaxLength(3);
            edit->setAlignment(Qt::AlignCenter);
            edit->installEventFilter(this);
            if (i != 0)
                edit->setFocusPolicy(Qt::ClickFocus);
            edit->setAccessibleName(tr("Address, part %1 of 4").arg(i / 2 + 1));
        } else {
            edit->setObjectName(QStringLiteral("lineEditDot%1").arg(i / 2 + 1));
            edit->setMaximumWidth(10);
            edit->setMaxLength(1);
            edit->setAlignment(Qt::AlignBottom | Qt::AlignHCenter);
            edit->setReadOnly(true);
            edit->setText(tr("."));
            edit->setFocusPolicy(Qt::ClickFocus);
            edit->setAccessibleName(tr("Dot"));
        }
        row->addWidget(edit);
        m_pEdit[i] = edit;
    }
    connect(m_pEdit[0], &QLineEdit::textChanged, this, &CIpLineEdit::OnTextChanged);
    connect(m_pEdit[2], &QLineEdit::textChanged, this, &CIpLineEdit::OnTextChanged3);
    connect(m_pEdit[4], &QLineEdit::textChanged, this, &CIpLineEdit::OnTextChanged5);
    connect(m_pEdit[6], &QLineEdit::textChanged, this, &CIpLineEdit::OnTextChanged7);
    setFocusProxy(m_pEdit[0]);
}

QLineEdit *CIpLineEdit::Octet(int iIndex) const
{
    return (iIndex >= 0 && iIndex < 4) ? m_pEdit[iIndex * 2] : nullptr;
}

void CIpLineEdit::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionFrame panel;
    panel.initFrom(this);
    panel.rect = rect();
    panel.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, this);
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
}

QString CIpLineEdit::text() const
{
    QString result;
    for (QLineEdit *edit : m_pEdit)
        result += edit->text();
    return result;
}

void CIpLineEdit::RangeMessage(const QString &value, int iLow, int iHigh)
{
    Q_UNUSED(iHigh);
    // "%1 is not a valid entry. Please specify a value between 1 and 223."
    // (or between 0 and 255).
    const QString text = iLow == 1 ? tr("%1不是一个有效项目。请指定介于1和223之间的数值。").arg(value)
                                   : tr("%1不是一个有效项目。请指定介于0和255之间的数值。").arg(value);
    // Parented to the field's window: the plug-in edition shows no message
    // without a parent, and the box belongs over the field anyway.
    CWarnDlg::ShowMsg(QString(), text, window());
}

void CIpLineEdit::OnTextChanged(const QString &text)
{
    if (text.size() <= 2)
        return;
    const int value = text.toInt();
    if (value >= 1 && value <= 223) {
        m_pEdit[2]->setFocus(Qt::OtherFocusReason);
        m_pEdit[2]->selectAll();
        return;
    }
    RangeMessage(text, 1, 223);
    m_pEdit[0]->setText(value > 0 ? QStringLiteral("223") : QStringLiteral("1"));
}

namespace {

// Octets 2 and 3: a full value below 256 moves on; anything else is fixed.
bool middleOctet(const QString &text, QLineEdit *self, QLineEdit *next, bool *outOfRange)
{
    *outOfRange = false;
    if (text.size() <= 2)
        return false;
    if (text.toInt() < 256) {
        next->setFocus(Qt::OtherFocusReason);
        next->selectAll();
        return true;
    }
    *outOfRange = true;
    Q_UNUSED(self);
    return false;
}

} // namespace

void CIpLineEdit::OnTextChanged3(const QString &text)
{
    bool bad = false;
    middleOctet(text, m_pEdit[2], m_pEdit[4], &bad);
    if (bad) {
        RangeMessage(text, 0, 255);
        m_pEdit[2]->setText(QStringLiteral("255"));
    }
}

void CIpLineEdit::OnTextChanged5(const QString &text)
{
    bool bad = false;
    middleOctet(text, m_pEdit[4], m_pEdit[6], &bad);
    if (bad) {
        RangeMessage(text, 0, 255);
        m_pEdit[4]->setText(QStringLiteral("255"));
    }
}

void CIpLineEdit::OnTextChanged7(const QString &text)
{
    if (text.size() == 3 && text.toInt() >= 256) {
        RangeMessage(text, 0, 255);
        m_pEdit[6]->setText(QStringLiteral("255"));
    }
}

int CIpLineEdit::OctetIndex(QObject *o) const
{
    for (int i = 0; i < 4; ++i)
        if (m_pEdit[i * 2] == o)
            return i;
    return -1;
}

bool CIpLineEdit::eventFilter(QObject *o, QEvent *e)
{
    const int index = OctetIndex(o);
    if (index < 0 || e->type() != QEvent::KeyPress)
        return QWidget::eventFilter(o, e);

    QLineEdit *edit = m_pEdit[index * 2];
    const auto *key = static_cast<QKeyEvent *>(e);
    auto focusOctet = [this](int i, int cursor) {
        QLineEdit *target = m_pEdit[i * 2];
        target->setFocus(Qt::OtherFocusReason);
        target->setCursorPosition(cursor < 0 ? int(target->text().size()) : cursor);
    };
    const bool atStart = edit->cursorPosition() == 0;
    const bool atEnd = edit->cursorPosition() == edit->text().size();
    switch (key->key()) {
    case Qt::Key_Space:
        if (index < 3)
            focusOctet(index + 1, 0);
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Backspace:
        if (index > 0 && atStart && !edit->hasSelectedText())
            focusOctet(index - 1, -1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Period:
        if (index < 3 && atEnd)
            focusOctet(index + 1, 0);
        break;
    case Qt::Key_Home: focusOctet(0, 0); break;
    case Qt::Key_End: focusOctet(3, -1); break;
    default: break;
    }
    // The key still goes to the field it was typed into.
    return false;
}

int CIpLineEdit::SetText(const char *pszText)
{
    if (!pszText)
        return 0;
    int dots = 0;
    for (const char *p = pszText; *p; ++p) {
        if (*p == '.')
            ++dots;
        else if (*p != ' ' && (*p < '0' || *p > '9'))
            return 0;
    }
    if (dots != 3)
        return 0;
    int n[4] = {-1, -1, -1, -1};
    if (std::sscanf(pszText, "%d.%d.%d.%d", &n[0], &n[1], &n[2], &n[3]) != 4)
        return 0;
    for (int v : n)
        if (v < 0 || v > 255)
            return 0;
    SetText(n[0], n[1], n[2], n[3]);
    return 1;
}

void CIpLineEdit::SetText(int a, int b, int c, int d)
{
    const int v[4] = {a, b, c, d};
    // Fill without running the typing rules: an address set by the program
    // must not pop up range messages or move the focus.
    for (int i = 0; i < 4; ++i) {
        QLineEdit *edit = m_pEdit[i * 2];
        const bool blocked = edit->blockSignals(true);
        edit->setText(QString::number(v[i] & 0xff));
        edit->blockSignals(blocked);
    }
}

void CIpLineEdit::SetAddress(quint32 uiAddress)
{
    SetText(int((uiAddress >> 24) & 0xff), int((uiAddress >> 16) & 0xff), int((uiAddress >> 8) & 0xff),
            int(uiAddress & 0xff));
}

int CIpLineEdit::GetAddress(quint32 &uiAddress) const
{
    int zeros = 0;
    quint32 result = 0;
    for (int i = 0; i < 4; ++i) {
        const quint32 v = m_pEdit[i * 2]->text().toUInt();
        if (v == 0)
            ++zeros;
        result += (v & 0xffffffffu) << (8 * (3 - i));
    }
    uiAddress = result;
    return zeros;
}

bool CIpLineEdit::IsEmpty() const
{
    for (int i = 0; i < 4; ++i)
        if (!m_pEdit[i * 2]->text().isEmpty())
            return false;
    return true;
}

void CIpLineEdit::Clear()
{
    for (int i = 0; i < 4; ++i)
        m_pEdit[i * 2]->clear();
}
