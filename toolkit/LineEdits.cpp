#include "LineEdits.h"

#include "Buttons.h"
#include "CToolLabel.h"

#include <QAbstractButton>
#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGridLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QStyle>

// ------------------------------------------------------------ CLineEdit

CLineEdit::CLineEdit(QWidget *parent) : CLineEdit(QString(), parent) {}

CLineEdit::CLineEdit(const QString &text, QWidget *parent) : QLineEdit(text, parent)
{
    connect(this, &QLineEdit::editingFinished, this, &CLineEdit::OnEditingFinished);
}

void CLineEdit::OnEditingFinished()
{
    emit SignalEditingFinished(text());
}

void CLineEdit::mousePressEvent(QMouseEvent *e)
{
    QLineEdit::mousePressEvent(e);
    emit SignalCursorPosition(cursorPosition());
}

void CLineEdit::focusInEvent(QFocusEvent *e)
{
    QLineEdit::focusInEvent(e);
    emit SignalFocusIn();
}

// ---------------------------------------------------- CPasswordLineEdit

CPasswordLineEdit::CPasswordLineEdit(QWidget *parent) : QLineEdit(parent)
{
    setEchoMode(QLineEdit::Password);
}

void CPasswordLineEdit::keyPressEvent(QKeyEvent *e)
{
    if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Paste)) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

#ifdef TOOLKIT_PLUGIN_EDITION
namespace {

// Whether a standard-menu entry is the one for a key (its text carries the
// shortcut after a tab).
bool isEntryFor(const QAction *action, QKeySequence::StandardKey key)
{
    const QString text = action->text();
    const int tab = text.indexOf(QLatin1Char('\t'));
    if (tab < 0)
        return false;
    const QString shortcut = text.mid(tab + 1);
    for (const QKeySequence &seq : QKeySequence::keyBindings(key))
        if (seq.toString(QKeySequence::NativeText) == shortcut || seq.toString() == shortcut)
            return true;
    return false;
}

} // namespace

void CPasswordLineEdit::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu *menu = createStandardContextMenu();
    const QList<QAction *> actions = menu->actions();
    // Drop the first separator and the clipboard entries (Cut, Copy, Paste:
    // found by their shortcuts, or else as the three entries after that
    // separator, where the standard menu puts them).
    int firstSeparator = -1;
    for (int i = 0; i < actions.size(); ++i) {
        if (actions.at(i)->isSeparator()) {
            firstSeparator = i;
            break;
        }
    }
    QList<QAction *> drop;
    for (QAction *a : actions)
        if (isEntryFor(a, QKeySequence::Cut) || isEntryFor(a, QKeySequence::Copy) || isEntryFor(a, QKeySequence::Paste))
            drop << a;
    if (drop.isEmpty() && firstSeparator >= 0)
        drop = actions.mid(firstSeparator + 1, 3);
    if (firstSeparator >= 0)
        drop << actions.at(firstSeparator);
    for (QAction *a : drop)
        menu->removeAction(a);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}
#endif

// ---------------------------------------------------- CValidateLineEdit

namespace {

const char kForbiddenList[] = "\n / \\ : * ? \" < > |";
const char kForbiddenListEx[] = " ' / \\ : * ? \" < > |";
const char kFileNamePattern[] = "(\\\\|/|:|\\*|\\?|\"|<|>|\\|)";
const char kFileNamePatternEx[] = "('|\\\\|/|:|\\*|\\?|\"|<|>|\\|)";

} // namespace

CValidateLineEdit::CValidateLineEdit(QWidget *parent)
    : CLineEdit(parent)
    , m_rxForbidden(QString::fromLatin1(kFileNamePattern))
{
    connect(this, &QLineEdit::textChanged, this, &CValidateLineEdit::OnTextChanged);
}

void CValidateLineEdit::SetPattern(const QRegularExpression &rx, const QString &strMessage)
{
    m_rxForbidden = rx;
    m_strMessage = strMessage;
    m_bOwnMessage = true;
}

QString CValidateLineEdit::Message() const
{
    if (m_bOwnMessage)
        return m_strMessage;
    return tr("Input cannot contain any of the following characters:") + QString::fromLatin1(kForbiddenList);
}

void CValidateLineEdit::OnTextChanged(const QString &strText)
{
    if (m_rxForbidden.isValid() && !m_rxForbidden.pattern().isEmpty() && m_rxForbidden.match(strText).hasMatch()) {
        const QString message = Message();
        setText(m_strLastText);
        CToolLabel::ShowText(mapToGlobal(QPoint(0, 0)), message, this);
        return;
    }
    if (strText != m_strLastText) {
        m_strLastText = strText;
        emit SignalTextChanged(strText);
    }
}

CValidateLineEditEx::CValidateLineEditEx(QWidget *parent) : CValidateLineEdit(parent)
{
    SetPattern(QRegularExpression(QString::fromLatin1(kFileNamePatternEx)),
               tr("Input cannot contain any of the following characters:") + QStringLiteral("\n")
                   + QString::fromLatin1(kForbiddenListEx));
}

// ------------------------------------------------------- CFancyLineEdit

// Owned by the line edit as its child object; the buttons are the line
// edit's child widgets.
class CFancyLineEditPrivate : public QObject
{
public:
    explicit CFancyLineEditPrivate(CFancyLineEdit *parent) : QObject(parent)
    {
        for (int i = 0; i < 2; ++i) {
            m_pIconButton[i] = new CIconButton(parent);
            m_pIconButton[i]->hide();
            m_pIconButton[i]->SetAutoHide(false);
        }
    }

    QPixmap m_pixmap[2];
    QPointer<QMenu> m_pMenu[2];
    bool m_bIconEnabled[2] = {false, false};
    QString m_strToolTip[2];
    CIconButton *m_pIconButton[2];
};

CFancyLineEdit::CFancyLineEdit(QWidget *parent) : QLineEdit(parent), d(new CFancyLineEditPrivate(this))
{
    ensurePolished();
    UpdateMargins();
    connect(d->m_pIconButton[Left], &QAbstractButton::clicked, this, &CFancyLineEdit::OnIconClicked);
    connect(d->m_pIconButton[Right], &QAbstractButton::clicked, this, &CFancyLineEdit::OnIconClicked);
    connect(this, &QLineEdit::textChanged, this, &CFancyLineEdit::OnCheckButtons);
}

CFancyLineEdit::~CFancyLineEdit() = default;

void CFancyLineEdit::SetButtonVisible(Side side, bool visible)
{
    d->m_pIconButton[side]->setVisible(visible);
    d->m_bIconEnabled[side] = visible;
    UpdateMargins();
}

bool CFancyLineEdit::IsButtonVisible(Side side) const
{
    return d->m_bIconEnabled[side];
}

CIconButton *CFancyLineEdit::Button(Side side) const
{
    return d->m_pIconButton[side];
}

void CFancyLineEdit::OnIconClicked()
{
    auto *button = qobject_cast<CIconButton *>(sender());
    int index = -1;
    for (int i = 0; i < 2; ++i)
        if (d->m_pIconButton[i] == button)
            index = i;
    if (index == -1)
        return;
    if (d->m_pMenu[index]) {
        d->m_pMenu[index]->exec(QCursor::pos());
    } else {
        emit SignalButtonClicked(Side(index));
        if (index == Left)
            emit SignalLeftButtonClicked();
        else
            emit SignalRightButtonClicked();
    }
}

void CFancyLineEdit::UpdateMargins()
{
    const bool leftToRight = layoutDirection() == Qt::LeftToRight;
    const Side realLeft = leftToRight ? Left : Right;
    const Side realRight = leftToRight ? Right : Left;
    const int leftMargin = d->m_bIconEnabled[realLeft] ? d->m_pixmap[realLeft].width() + 8 : 0;
    const int rightMargin = d->m_bIconEnabled[realRight] ? d->m_pixmap[realRight].width() + 8 : 0;
    setTextMargins(leftMargin, 0, rightMargin, 0);
    UpdateButtonPositions();
}

void CFancyLineEdit::UpdateButtonPositions()
{
    const QRect contents = contentsRect();
    for (int i = 0; i < 2; ++i) {
        Side side = Side(i);
        if (layoutDirection() == Qt::RightToLeft)
            side = side == Left ? Right : Left;
        const int w = d->m_pixmap[i].isNull() ? 0 : d->m_pixmap[i].width() + 8;
        QRect r = contents;
        if (side == Right)
            r.setLeft(contents.right() + 1 - w);
        else
            r.setRight(contents.left() + w - 1);
        d->m_pIconButton[i]->setGeometry(r);
    }
}

void CFancyLineEdit::resizeEvent(QResizeEvent *e)
{
    QLineEdit::resizeEvent(e);
    UpdateButtonPositions();
}

void CFancyLineEdit::SetButtonPixmap(Side side, const QPixmap &pixmap)
{
    d->m_pixmap[side] = pixmap;
    d->m_pIconButton[side]->SetPixmap(pixmap);
    UpdateMargins();
}

QPixmap CFancyLineEdit::ButtonPixmap(Side side) const
{
    return d->m_pixmap[side];
}

void CFancyLineEdit::SetButtonMenu(Side side, QMenu *menu)
{
    d->m_pMenu[side] = menu;
}

QMenu *CFancyLineEdit::ButtonMenu(Side side) const
{
    return d->m_pMenu[side];
}

void CFancyLineEdit::SetButtonToolTip(Side side, const QString &tip)
{
    d->m_strToolTip[side] = tip;
    const CIconButton *button = d->m_pIconButton[side];
    d->m_pIconButton[side]->setToolTip(button->IsAutoHide() && text().isEmpty() ? QString() : tip);
    // A picture button: its tip is what screen readers call it.
    d->m_pIconButton[side]->setAccessibleName(tip);
}

void CFancyLineEdit::SetButtonFocusPolicy(Side side, Qt::FocusPolicy policy)
{
    d->m_pIconButton[side]->setFocusPolicy(policy);
}

void CFancyLineEdit::SetAutoHideButton(Side side, bool autoHide)
{
    CIconButton *button = d->m_pIconButton[side];
    button->SetAutoHide(autoHide);
    const bool shown = !autoHide || !text().isEmpty();
    button->SetIconOpacity(shown ? 1.0f : 0.0f);
    button->setToolTip(shown ? d->m_strToolTip[side] : QString());
}

bool CFancyLineEdit::HasAutoHideButton(Side side) const
{
    return d->m_pIconButton[side]->IsAutoHide();
}

void CFancyLineEdit::OnCheckButtons(const QString &text)
{
    if (m_strOldText.isEmpty() || text.isEmpty()) {
        for (int i = 0; i < 2; ++i) {
            CIconButton *button = d->m_pIconButton[i];
            if (button->IsAutoHide()) {
                button->AnimateShow(!text.isEmpty());
                button->setToolTip(text.isEmpty() ? QString() : d->m_strToolTip[i]);
            }
        }
        m_strOldText = text;
    }
}

// ------------------------------------------------------ CFilterLineEdit

CFilterLineEdit::CFilterLineEdit(QWidget *parent) : CFancyLineEdit(parent)
{
    SetButtonVisible(Right, true);
    SetButtonPixmap(Right, QPixmap(QStringLiteral(":/images/public/lineEdit/EditClear.png")));
    SetButtonToolTip(Right, tr("Clear Text"));
    SetAutoHideButton(Right, true);
    setPlaceholderText(tr("Filter"));
    setAccessibleName(tr("Filter"));
    connect(this, &CFancyLineEdit::SignalRightButtonClicked, this, &QLineEdit::clear);
    connect(this, &QLineEdit::textChanged, this, &CFilterLineEdit::OnTextChanged);
}

void CFilterLineEdit::OnTextChanged()
{
    const QString newText = text();
    if (newText != m_strLastFilterText) {
        m_strLastFilterText = newText;
        emit SignalFilterChanged(m_strLastFilterText);
    }
}

// ------------------------------------------------------ CSearchLineEdit

CSearchLineEdit::CSearchLineEdit(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CSearchLineEditUi"));
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_pFilterLineEdit = new CFilterLineEdit(this);
    m_pFilterLineEdit->setObjectName(QStringLiteral("m_pFilterLineEdit"));
    m_pFilterLineEdit->setStyleSheet(QStringLiteral(
        "CFilterLineEdit\n{\n  border-image:url(:images/public/lineEdit/SearchEdit.png);\n}\n"
        "CFilterLineEdit:hover\n{\n  border-image:url(:images/public/lineEdit/SearchEditHover.png);\n}\n"));
    m_pFilterLineEdit->setMinimumHeight(24);
    m_pFilterLineEdit->setPlaceholderText(tr("Search..."));
    m_pFilterLineEdit->setAccessibleName(tr("Search"));
    m_pSearchBtn = new QPushButton(this);
    m_pSearchBtn->setObjectName(QStringLiteral("m_pSearchBtn"));
    m_pSearchBtn->setFixedSize(24, 24);
    m_pSearchBtn->setStyleSheet(
        QStringLiteral("QPushButton\n{ \n  border-image:url(:images/public/lineEdit/Search.png);\n} \n"
                       "QPushButton:hover\n{ \n  border-image:url(:images/public/lineEdit/SearchHover.png);\n} \n"));
    m_pSearchBtn->setText(QString());
    m_pSearchBtn->setAccessibleName(tr("Search"));
    m_pSearchBtn->setToolTip(tr("Search"));
    layout->addWidget(m_pFilterLineEdit, 0, 0);
    layout->addWidget(m_pSearchBtn, 0, 1);
    connect(m_pFilterLineEdit, &CFilterLineEdit::SignalFilterChanged, this, &CSearchLineEdit::SignalFilterChanged);
    connect(m_pSearchBtn, &QPushButton::clicked, this, &CSearchLineEdit::SignalSearch);
    connect(m_pFilterLineEdit, &QLineEdit::returnPressed, this, &CSearchLineEdit::SignalSearch);
}

QString CSearchLineEdit::Text() const
{
    return m_pFilterLineEdit->text();
}
