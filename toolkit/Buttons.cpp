#include "Buttons.h"

#include "LineEdits.h"

#include <QEnterEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QTimerEvent>

// ---------------------------------------------------------- CPushButton

CPushButton::CPushButton(QWidget *parent) : QPushButton(parent) {}

CPushButton::CPushButton(const QString &text, QWidget *parent) : QPushButton(text, parent) {}

CPushButton::CPushButton(const QIcon &icon, const QString &text, QWidget *parent) : QPushButton(icon, text, parent) {}

void CPushButton::enterEvent(QEnterEvent *e)
{
    emit SignalMouseEnter();
    QPushButton::enterEvent(e);
}

void CPushButton::leaveEvent(QEvent *e)
{
    emit SignalMouseLeave();
    QPushButton::leaveEvent(e);
}

// --------------------------------------------------------- CDelayButton

CDelayButton::CDelayButton(QWidget *parent) : CPushButton(parent) {}

CDelayButton::CDelayButton(const QString &text, QWidget *parent) : CPushButton(text, parent) {}

void CDelayButton::mouseReleaseEvent(QMouseEvent *e)
{
    CPushButton::mouseReleaseEvent(e);
    m_timer.start(kDelayMs, this);
}

void CDelayButton::timerEvent(QTimerEvent *e)
{
    if (e->timerId() != m_timer.timerId()) {
        CPushButton::timerEvent(e);
        return;
    }
    if (isChecked()) {
        m_timer.start(kDelayMs, this);
        return;
    }
    m_timer.stop();
    emit SignalDelayRelease();
}

// ---------------------------------------------------------- CIconButton

CIconButton::CIconButton(QWidget *parent) : QPushButton(parent)
{
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
}

void CIconButton::SetIconOpacity(float fOpacity)
{
    m_fIconOpacity = fOpacity;
    update();
}

void CIconButton::SetPixmap(const QPixmap &pixmap)
{
    m_pixmap = pixmap;
    update();
}

void CIconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const qreal dpr = m_pixmap.devicePixelRatio() > 0 ? m_pixmap.devicePixelRatio() : 1.0;
    const QSize size = (QSizeF(m_pixmap.size()) / dpr).toSize();
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    if (m_bAutoHide)
        painter.setOpacity(m_fIconOpacity);
    painter.drawPixmap(target, m_pixmap);
}

void CIconButton::AnimateShow(bool bVisible)
{
    auto *animation = new QPropertyAnimation(this, "m_fIconOpacity");
    animation->setDuration(160);
    animation->setEndValue(bVisible ? 1.0f : 0.0f);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

// ---------------------------------------------------------- CRankButton

namespace {
const char kRankOff[] = "border-image: url(:/images/button/button.png);";
const char kRankOn[] = "border-image: url(:/images/button/button_hover.png);";
} // namespace

CRankButton::CRankButton(QWidget *parent) : QFrame(parent)
{
    m_pRank1Btn = new CPushButton(tr("Low"), this);
    m_pRank2Btn = new CPushButton(tr("Middle"), this);
    m_pRank3Btn = new CPushButton(tr("High"), this);
    m_pLayout = new QGridLayout(this);
    m_pLayout->setContentsMargins(0, 0, 0, 0);
    int column = 0;
    for (CPushButton *b : {m_pRank1Btn, m_pRank2Btn, m_pRank3Btn}) {
        b->setFocusPolicy(Qt::ClickFocus);
        b->setMaximumHeight(9000);
        m_pLayout->addWidget(b, 0, column++);
    }
    setStyleSheet(
        QStringLiteral("QFrame{border:transparent;} QPushButton{border-image: url(:/images/button/button.png);}"));
    connect(m_pRank1Btn, &QPushButton::clicked, this, &CRankButton::ClickRank1Btn);
    connect(m_pRank2Btn, &QPushButton::clicked, this, &CRankButton::ClickRank2Btn);
    connect(m_pRank3Btn, &QPushButton::clicked, this, &CRankButton::ClickRank3Btn);
    ClickRank1Btn();
}

QPushButton *CRankButton::RankButton(int iIndex) const
{
    switch (iIndex) {
    case 1: return m_pRank1Btn;
    case 2: return m_pRank2Btn;
    case 3: return m_pRank3Btn;
    default: return nullptr;
    }
}

void CRankButton::ClickRank1Btn()
{
    SetRank(1);
    emit ClickRank(1);
}

void CRankButton::ClickRank2Btn()
{
    SetRank(2);
    emit ClickRank(2);
}

void CRankButton::ClickRank3Btn()
{
    SetRank(3);
    emit ClickRank(3);
}

bool CRankButton::SetRank(uint uiRank)
{
    if (uiRank < 1 || uiRank > 3)
        return false;
    if (uiRank != m_uiRank)
        emit RankChanged(uiRank);
    for (uint i = 1; i <= 3; ++i)
        RankButton(int(i))->setStyleSheet(QString::fromLatin1(i <= uiRank ? kRankOn : kRankOff));
    m_uiRank = uiRank;
    return true;
}

void CRankButton::SetTexts(const QString &strLow, const QString &strMiddle, const QString &strHigh)
{
    m_pRank1Btn->setText(strLow);
    m_pRank2Btn->setText(strMiddle);
    m_pRank3Btn->setText(strHigh);
}

// ---------------------------------------------------------- CToolButton

CToolButton::CToolButton(QWidget *parent) : QToolButton(parent)
{
    m_timer.setSingleShot(true);
    // A coarse timer may run 5 % long; the interval is meant to the
    // millisecond.
    m_timer.setTimerType(Qt::PreciseTimer);
}

void CToolButton::mousePressEvent(QMouseEvent *e)
{
    if (m_bThrottle && m_timer.isActive()) {
        e->ignore();
        return;
    }
    QToolButton::mousePressEvent(e);
}

void CToolButton::mouseReleaseEvent(QMouseEvent *e)
{
    if (m_bThrottle) {
        if (m_timer.isActive()) {
            e->ignore();
            return;
        }
        m_timer.start(m_iInterval);
    }
    QToolButton::mouseReleaseEvent(e);
}

// ------------------------------------------------------ CUserToolButton

CUserToolButton::CUserToolButton(QWidget *parent) : QToolButton(parent) {}

// --------------------------------------------------------- CRadioButton

CRadioButton::CRadioButton(QWidget *parent) : QRadioButton(parent) {}

CRadioButton::CRadioButton(const QString &text, QWidget *parent) : QRadioButton(text, parent) {}

void CRadioButton::mouseDoubleClickEvent(QMouseEvent *e)
{
    QRadioButton::mouseDoubleClickEvent(e);
    if (!m_bEditable || m_pEditor)
        return;
    m_pEditor = new CLineEdit(text(), this);
    m_pEditor->setGeometry(rect());
    m_pEditor->selectAll();
    m_pEditor->installEventFilter(this);
    connect(m_pEditor.data(), &CLineEdit::SignalEditingFinished, this, &CRadioButton::OnSetText);
    connect(m_pEditor.data(), &QLineEdit::editingFinished, this, &CRadioButton::CloseEditor);
    m_pEditor->show();
    m_pEditor->setFocus(Qt::OtherFocusReason);
}

bool CRadioButton::eventFilter(QObject *o, QEvent *e)
{
    if (m_pEditor && o == m_pEditor.data() && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Escape) {
            m_pEditor->blockSignals(true);
            CloseEditor();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select) {
            CLineEdit *editor = m_pEditor.data();
            editor->OnEditingFinished();
            editor->blockSignals(true);
            CloseEditor();
            return true;
        }
    }
    return QRadioButton::eventFilter(o, e);
}

void CRadioButton::CloseEditor()
{
    if (!m_pEditor)
        return;
    CLineEdit *editor = m_pEditor.data();
    m_pEditor = nullptr;
    editor->blockSignals(true);
    editor->close();
    editor->deleteLater();
}

void CRadioButton::OnSetText(const QString &strText)
{
    if (strText != text()) {
        setText(strText);
        emit SignalTextChanged(strText);
    }
}
