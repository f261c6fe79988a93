// The plug-in edition of CBaseDialog: a label as title, OK and Cancel, and
// a skin the dialog sets itself.
#include "CBaseDialog.h"

#include "CBaseDialogParts.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpacerItem>

using namespace BaseDialogParts;

namespace {

const char kLargeSkin[] = "QDialog#CBaseDialogClass{border-image:url(\":/images/Dialog/dialog_bg.png\") 58;\n"
                          "border-width:58;}";
const char kLargeSkinToggled[] = "QDialog#CBaseDialogClass{border-image:url(\":/images/Dialog/dialog_bg.png\") 58;"
                                 "                                        border-width:58;}";
const char kSmallSkin[] = "QDialog#CBaseDialogClass{border-image:url(\":/images/Dialog/dialog_bg2.png\") 34 6 16 6;\n"
                          "border-width:34 6 16 6;}";

} // namespace

CBaseDialog::CBaseDialog(QWidget *parent, bool bLargeSkin, bool bOkBtn, bool bCancelBtn)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    SetupUi();
    ui.pOkBtn->setVisible(bOkBtn);
    ui.pCancelBtn->setVisible(bCancelBtn);
    ui.m_pCloseBtn->hide();
    ApplySkin(bLargeSkin, true);
    // The two slots carry their buttons' object names; connect them here
    // once (uniquely), so a subclass form set up later cannot double them.
    connect(ui.pOkBtn, &QPushButton::released, this, [this]() { ++m_uOkReleases; });
    connect(ui.m_pCloseBtn, &QPushButton::released, this, [this]() { ++m_uCloseReleases; });
    connect(ui.pOkBtn, &QPushButton::clicked, this, &CBaseDialog::on_pOkBtn_clicked, Qt::UniqueConnection);
    connect(ui.m_pCloseBtn, &QPushButton::clicked, this, &CBaseDialog::on_m_pCloseBtn_clicked, Qt::UniqueConnection);
    connect(ui.pCancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void CBaseDialog::SetupUi()
{
    SetupDialog(QSize(437, 327), QMargins(6, 3, 6, 5));

    auto *titleRow = new QHBoxLayout;
    titleRow->setObjectName(QStringLiteral("horizontalLayout"));
    titleRow->setSpacing(0);
    // Balances the close button so the title stays centred.
    titleRow->addItem(new QSpacerItem(20, 20, QSizePolicy::Fixed, QSizePolicy::Minimum));
    ui.pLabelTitle = new QLabel(this);
    ui.pLabelTitle->setObjectName(QStringLiteral("pLabelTitle"));
    ui.pLabelTitle->setMinimumSize(100, 30);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setBold(true);
    titleFont.setWeight(QFont::Bold);
    ui.pLabelTitle->setFont(titleFont);
    ui.pLabelTitle->setStyleSheet(QStringLiteral("QLabel#pLabelTitle{color: rgb(255, 255, 255);}"));
    ui.pLabelTitle->setAlignment(Qt::AlignCenter);
    titleRow->addWidget(ui.pLabelTitle, 1);
    ui.m_pCloseBtn = makeTitleButton(this, "m_pCloseBtn");
    ui.m_pCloseBtn->setFixedSize(20, 20);
    ui.m_pCloseBtn->setStyleSheet(
        QStringLiteral("QPushButton{border: none;margin:0px;border-image:url(:/images/title/close.png); }\n"
                       "QPushButton:hover,QPushButton:focus{border: none;margin:0px;"
                       "border-image:url(:/images/title/close_hover.png); }"));
    ui.m_pCloseBtn->setAccessibleName(tr("Close")); // a picture button, named for screen readers
    titleRow->addWidget(ui.m_pCloseBtn);
    ui.m_pgridBaseDialog->addLayout(titleRow, 0, 0);

    QGridLayout *bottomGrid = SetupFrames();
    ui.m_pContentFrame->setFrameShape(QFrame::StyledPanel);
    ui.m_pContentFrame->setFrameShadow(QFrame::Raised);
    ui.m_pContentFrame->setStyleSheet(QStringLiteral("QFrame#m_pContentFrame\n{\n\tborder:none;\n}"));
    bottomGrid->addItem(new QSpacerItem(10, 25, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 0);
    ui.pOkBtn = makeBottomButton(ui.m_pBottomFrame, "pOkBtn", tr("OK"), 80);
    ui.pCancelBtn = makeBottomButton(ui.m_pBottomFrame, "pCancelBtn", tr("Cancel"), 80);
    bottomGrid->addWidget(ui.pOkBtn, 0, 1);
    bottomGrid->addWidget(ui.pCancelBtn, 0, 2);
}

void CBaseDialog::ApplySkin(bool bLarge, bool bFromConstructor)
{
    if (bLarge) {
        setStyleSheet(QString::fromLatin1(bFromConstructor ? kLargeSkin : kLargeSkinToggled));
    } else {
        ui.m_pBottomFrame->hide();
        if (bFromConstructor)
            ui.m_pgridBaseDialog->setContentsMargins(6, 4, 6, 11);
        setStyleSheet(QString::fromLatin1(kSmallSkin));
    }
}

bool CBaseDialog::FirstCallOfThisClick(int iSlot)
{
    // A subclass whose form runs QMetaObject::connectSlotsByName() connects
    // these by-name slots a second time; one click must still act once.
    // Every click emits released() first, which counts the clicks; a call
    // not made by the button itself always acts.
    QAbstractButton *button = iSlot == 1 ? static_cast<QAbstractButton *>(ui.pOkBtn) : ui.m_pCloseBtn;
    if (sender() != button)
        return true;
    const quint64 serial = iSlot == 1 ? m_uOkReleases : m_uCloseReleases;
    quint64 &handled = iSlot == 1 ? m_uOkHandled : m_uCloseHandled;
    if (handled == serial)
        return false;
    handled = serial;
    return true;
}

void CBaseDialog::on_pOkBtn_clicked()
{
    if (FirstCallOfThisClick(1))
        AcceptOrSignal();
}

void CBaseDialog::on_m_pCloseBtn_clicked()
{
    if (FirstCallOfThisClick(2))
        CloseOrSignal();
}

void CBaseDialog::SetTitleText(const QString &strTitle)
{
    ui.pLabelTitle->setText(strTitle);
}

QString CBaseDialog::GetTitleText() const
{
    return ui.pLabelTitle->text();
}

void CBaseDialog::SetBottomFrameVisible(bool bVisible)
{
    ui.pOkBtn->setVisible(bVisible);
    ui.pCancelBtn->setVisible(bVisible);
    ui.m_pBottomFrame->setVisible(bVisible);
    ApplySkin(bVisible, false);
}

CPushButton *CBaseDialog::ConfirmButton() const
{
    return ui.pOkBtn;
}

CPushButton *CBaseDialog::CancelButton() const
{
    return ui.pCancelBtn;
}

void CBaseDialog::ConfirmFromKey(QKeyEvent *e)
{
    // A dialog that checks its fields before it closes gets the same check
    // from Return as from OK, instead of closing with nothing done.
    if (!m_bAutoAccept) {
        emit ClickedOKBtnSig();
        return;
    }
    accept();
    QDialog::keyPressEvent(e);
}
