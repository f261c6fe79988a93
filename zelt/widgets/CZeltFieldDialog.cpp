#include "CZeltFieldDialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "Buttons.h"
#include "LineEdits.h"
#include "ZeltWidgetGroups.h"

CZeltFieldDialog::CZeltFieldDialog(QWidget *parent, const QString &strFieldName, const QString &strAccessibleName,
                                   bool bSecret)
    : CBaseDialog(parent, true, true, true)
    , m_pPrompt(new QLabel)
    , m_pField(bSecret ? new CPasswordLineEdit : new QLineEdit)
{
    // OK goes through the check; the base class would close at once.
    SetAutoAccept(false);
    connect(this, &CBaseDialog::ClickedOKBtnSig, this, &CZeltFieldDialog::Confirm);
    setFixedSize(420, 210);
    auto *content = new QWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setSpacing(8);
    m_pPrompt->setObjectName(QStringLiteral("labelPrompt"));
    m_pPrompt->setWordWrap(true);
    m_pPrompt->setBuddy(m_pField);
    m_pField->setObjectName(strFieldName);
    m_pField->setAccessibleName(strAccessibleName);
    m_pField->setMinimumHeight(24);
    if (bSecret)
        m_pField->setEchoMode(QLineEdit::Password);
    layout->addWidget(m_pPrompt);
    layout->addWidget(m_pField);
    layout->addStretch(1);
    SetContentWidget(content);
}

void CZeltFieldDialog::SetTexts(const QString &strTitle, const QString &strPrompt)
{
    SetTitleText(strTitle);
    setWindowTitle(strTitle);
    m_pPrompt->setText(strPrompt);
}

QString CZeltFieldDialog::Text() const
{
    return m_pField->text();
}

void CZeltFieldDialog::Confirm()
{
    const QString problem = m_check ? m_check(m_pField->text()) : QString();
    if (problem.isEmpty()) {
        accept();
        return;
    }
    ShowFieldTip(m_pField, problem);
}

void CZeltFieldDialog::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Escape: reject(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Through the button, so that the text is checked first.
        ConfirmButton()->click();
        return;
    default: CBaseDialog::keyPressEvent(e);
    }
}

void CZeltFieldDialog::showEvent(QShowEvent *e)
{
    CBaseDialog::showEvent(e);
    m_pField->setFocus();
}
