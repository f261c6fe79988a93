// The shell edition of CBaseDialog: a CTitleWidget title bar, Confirm,
// Cancel and a left button; the look comes from the application style sheet.
#include "CBaseDialog.h"

#include "CBaseDialogParts.h"
#include "CTitleWidget.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSpacerItem>
#include <QStyle>

using namespace BaseDialogParts;

CBaseDialog::CBaseDialog(QWidget *parent, bool bBottomFrame, bool bConfirmBtn, bool bCancelBtn, bool bLeftBtn,
                         bool bDefaultText)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    SetupUi();
    if (!bDefaultText) {
        ui.m_pConfirmBtn->setText(tr("Yes"));
        ui.m_pCancelBtn->setText(tr("No"));
    }
    ui.m_pConfirmBtn->setVisible(bConfirmBtn);
    ui.m_pCancelBtn->setVisible(bCancelBtn);
    ui.m_pLeftBtn->setVisible(bLeftBtn);
    ui.m_pCloseBtn->hide();
    ui.m_pCifBtn->hide();
    ui.m_p4CifBtn->hide();
    SetBottomFrameVisible(bBottomFrame);
    connect(ui.m_pLeftBtn, &QPushButton::clicked, this, &CBaseDialog::SignalLeftBtnClicked);
    connect(ui.m_pConfirmBtn, &QPushButton::clicked, this, &CBaseDialog::OnConfirmBtnClicked);
    connect(ui.m_pCloseBtn, &QPushButton::clicked, this, &CBaseDialog::OnCloseBtnClicked);
    connect(ui.m_pCancelBtn, &QPushButton::clicked, this, &CBaseDialog::OnCancleBtnClicked);
}

void CBaseDialog::SetupUi()
{
    SetupDialog(QSize(436, 327), QMargins(4, 3, 4, 4));

    ui.m_pTitleWidget = new CTitleWidget(this);
    ui.m_pTitleWidget->setObjectName(QStringLiteral("m_pTitleWidget"));
    ui.m_pTitleWidget->setMinimumHeight(30);
    auto *titleGrid = new QGridLayout(ui.m_pTitleWidget);
    titleGrid->setObjectName(QStringLiteral("gridLayout"));
    titleGrid->setSpacing(0);
    titleGrid->setContentsMargins(0, 0, 0, 0);
    auto *titleRow = new QHBoxLayout;
    titleRow->setObjectName(QStringLiteral("horizontalLayout"));
    titleRow->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    ui.m_pCifBtn = makeTitleButton(ui.m_pTitleWidget, "m_pCifBtn");
    ui.m_pCifBtn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ui.m_pCifBtn->setMinimumSize(30, 20);
    ui.m_pCifBtn->setMaximumSize(34, 20);
    ui.m_p4CifBtn = makeTitleButton(ui.m_pTitleWidget, "m_p4CifBtn");
    ui.m_p4CifBtn->setMinimumSize(20, 20);
    ui.m_p4CifBtn->setMaximumSize(34, 20);
    ui.m_pCloseBtn = makeTitleButton(ui.m_pTitleWidget, "m_pCloseBtn");
    ui.m_pCloseBtn->setFixedSize(20, 20);
    titleRow->addWidget(ui.m_pCifBtn);
    titleRow->addWidget(ui.m_p4CifBtn);
    titleRow->addWidget(ui.m_pCloseBtn);
    titleGrid->addLayout(titleRow, 0, 0);
    ui.m_pgridBaseDialog->addWidget(ui.m_pTitleWidget, 0, 0);

    QGridLayout *bottomGrid = SetupFrames();
    ui.m_pContentFrame->setFrameShape(QFrame::NoFrame);
    ui.m_pContentFrame->setFrameShadow(QFrame::Plain);
    ui.m_pLeftBtn = makeBottomButton(ui.m_pBottomFrame, "m_pLeftBtn", tr("Online Devices"), 101);
    ui.m_pConfirmBtn = makeBottomButton(ui.m_pBottomFrame, "m_pConfirmBtn", tr("Confirm"), 80);
    ui.m_pCancelBtn = makeBottomButton(ui.m_pBottomFrame, "m_pCancelBtn", tr("Cancel"), 80);
    bottomGrid->addWidget(ui.m_pLeftBtn, 0, 0);
    bottomGrid->addItem(new QSpacerItem(10, 25, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 1);
    bottomGrid->addWidget(ui.m_pConfirmBtn, 0, 2);
    bottomGrid->addWidget(ui.m_pCancelBtn, 0, 3);

    // The title never runs under the close button.
    ui.m_pTitleWidget->SetTextMargins(0, 0, 22, 0);
    // Picture buttons, named for screen readers.
    ui.m_pCloseBtn->setAccessibleName(tr("Close"));
    ui.m_pCifBtn->setAccessibleName(tr("CIF"));
    ui.m_p4CifBtn->setAccessibleName(tr("4CIF"));
}

void CBaseDialog::OnConfirmBtnClicked()
{
    AcceptOrSignal();
}

void CBaseDialog::OnCloseBtnClicked()
{
    CloseOrSignal();
}

void CBaseDialog::OnCancleBtnClicked()
{
    if (m_bAutoReject)
        reject();
    else
        emit ClickedCancleBtnSig();
}

void CBaseDialog::SetTitleText(const QString &strTitle)
{
    ui.m_pTitleWidget->SetText(strTitle);
}

QString CBaseDialog::GetTitleText() const
{
    return ui.m_pTitleWidget->GetText();
}

void CBaseDialog::SetBottomFrameVisible(bool bVisible)
{
    ui.m_pBottomFrame->setVisible(bVisible);
    // Renaming lets the application style sheet give the two looks their
    // own backgrounds; the style has to be re-applied to notice.
    setObjectName(bVisible ? QStringLiteral("CBaseDialogClass2") : QStringLiteral("CBaseDialogClass1"));
    style()->unpolish(this);
    style()->polish(this);
    update();
}

CPushButton *CBaseDialog::ConfirmButton() const
{
    return ui.m_pConfirmBtn;
}

CPushButton *CBaseDialog::CancelButton() const
{
    return ui.m_pCancelBtn;
}

void CBaseDialog::ConfirmFromKey(QKeyEvent *)
{
    // Even with the bottom frame hidden: Return confirms a message box.
    ui.m_pConfirmBtn->click();
}
