#include "CBaseDialog.h"

#include "Buttons.h"
#include "CTitleWidget.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRegion>
#include <QSpacerItem>
#include <QStyle>

namespace {

#ifdef TOOLKIT_PLUGIN_EDITION
const char kLargeSkin[] = "QDialog#CBaseDialogClass{border-image:url(\":/images/Dialog/dialog_bg.png\") 58;\n"
                          "border-width:58;}";
const char kLargeSkinToggled[] = "QDialog#CBaseDialogClass{border-image:url(\":/images/Dialog/dialog_bg.png\") 58;"
                                 "                                        border-width:58;}";
const char kSmallSkin[] = "QDialog#CBaseDialogClass{border-image:url(\":/images/Dialog/dialog_bg2.png\") 34 6 16 6;\n"
                          "border-width:34 6 16 6;}";
#endif

CPushButton *makeTitleButton(QWidget *parent, const char *name)
{
    auto *b = new CPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::NoFocus);
    b->setIconSize(QSize(20, 20));
    b->setText(QString());
    return b;
}

CPushButton *makeBottomButton(QWidget *parent, const char *name, const QString &text, int minWidth)
{
    auto *b = new CPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumSize(minWidth, 24);
    // Return belongs to the dialog (it confirms), never to a focused button.
    b->setAutoDefault(false);
    return b;
}

} // namespace

#ifndef TOOLKIT_PLUGIN_EDITION

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
    setObjectName(QStringLiteral("CBaseDialogClass"));
    resize(436, 327);
    setMinimumSize(0, 150);
    setWindowTitle(QStringLiteral("Dialog"));

    ui.m_pgridBaseDialog = new QGridLayout(this);
    ui.m_pgridBaseDialog->setObjectName(QStringLiteral("m_pgridBaseDialog"));
    ui.m_pgridBaseDialog->setVerticalSpacing(0);
    ui.m_pgridBaseDialog->setContentsMargins(4, 3, 4, 4);

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

    ui.m_pContentFrame = new QFrame(this);
    ui.m_pContentFrame->setObjectName(QStringLiteral("m_pContentFrame"));
    ui.m_pContentFrame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui.m_pContentFrame->setMinimumWidth(100);
    ui.m_pContentFrame->setFocusPolicy(Qt::NoFocus);
    ui.m_pContentFrame->setFrameShape(QFrame::NoFrame);
    ui.m_pContentFrame->setFrameShadow(QFrame::Plain);
    ui.m_pgridBaseDialog->addWidget(ui.m_pContentFrame, 1, 0);

    ui.m_pBottomFrame = new QFrame(this);
    ui.m_pBottomFrame->setObjectName(QStringLiteral("m_pBottomFrame"));
    ui.m_pBottomFrame->setMaximumHeight(52);
    ui.m_pBottomFrame->setFrameShape(QFrame::StyledPanel);
    ui.m_pBottomFrame->setFrameShadow(QFrame::Raised);
    auto *bottomGrid = new QGridLayout(ui.m_pBottomFrame);
    bottomGrid->setObjectName(QStringLiteral("gridLayout_2"));
    ui.m_pLeftBtn = makeBottomButton(ui.m_pBottomFrame, "m_pLeftBtn", tr("Online Devices"), 101);
    ui.m_pConfirmBtn = makeBottomButton(ui.m_pBottomFrame, "m_pConfirmBtn", tr("Confirm"), 80);
    ui.m_pCancelBtn = makeBottomButton(ui.m_pBottomFrame, "m_pCancelBtn", tr("Cancel"), 80);
    bottomGrid->addWidget(ui.m_pLeftBtn, 0, 0);
    bottomGrid->addItem(new QSpacerItem(10, 25, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 1);
    bottomGrid->addWidget(ui.m_pConfirmBtn, 0, 2);
    bottomGrid->addWidget(ui.m_pCancelBtn, 0, 3);
    ui.m_pgridBaseDialog->addWidget(ui.m_pBottomFrame, 2, 0);

    // The title never runs under the close button.
    ui.m_pTitleWidget->SetTextMargins(0, 0, 22, 0);
}

void CBaseDialog::OnConfirmBtnClicked()
{
    if (m_bAutoAccept)
        accept();
    else
        emit ClickedOKBtnSig();
}

void CBaseDialog::OnCloseBtnClicked()
{
    if (m_bAutoClose)
        close();
    else
        emit ClickedCloseBtnSig();
}

void CBaseDialog::OnCancleBtnClicked()
{
    if (m_bAutoReject)
        reject();
    else
        emit ClickedCancleBtnSig();
}

void CBaseDialog::SetOkBtnEnable(bool bEnabled)
{
    ui.m_pConfirmBtn->setEnabled(bEnabled);
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

#else // plug-in edition

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
    setObjectName(QStringLiteral("CBaseDialogClass"));
    resize(437, 327);
    setMinimumSize(0, 150);
    setWindowTitle(QStringLiteral("Dialog"));

    ui.m_pgridBaseDialog = new QGridLayout(this);
    ui.m_pgridBaseDialog->setObjectName(QStringLiteral("m_pgridBaseDialog"));
    ui.m_pgridBaseDialog->setVerticalSpacing(0);
    ui.m_pgridBaseDialog->setContentsMargins(6, 3, 6, 5);

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
    ui.m_pCloseBtn->setStyleSheet(QStringLiteral(
        "QPushButton{border: none;margin:0px;border-image:url(:/images/title/close.png); }\n"
        "QPushButton:hover{border: none;margin:0px;border-image:url(:/images/title/close_hover.png); }"));
    titleRow->addWidget(ui.m_pCloseBtn);
    ui.m_pgridBaseDialog->addLayout(titleRow, 0, 0);

    ui.m_pContentFrame = new QFrame(this);
    ui.m_pContentFrame->setObjectName(QStringLiteral("m_pContentFrame"));
    ui.m_pContentFrame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    ui.m_pContentFrame->setMinimumWidth(100);
    ui.m_pContentFrame->setFocusPolicy(Qt::NoFocus);
    ui.m_pContentFrame->setFrameShape(QFrame::StyledPanel);
    ui.m_pContentFrame->setFrameShadow(QFrame::Raised);
    ui.m_pContentFrame->setStyleSheet(QStringLiteral("QFrame#m_pContentFrame\n{\n\tborder:none;\n}"));
    ui.m_pgridBaseDialog->addWidget(ui.m_pContentFrame, 1, 0);

    ui.m_pBottomFrame = new QFrame(this);
    ui.m_pBottomFrame->setObjectName(QStringLiteral("m_pBottomFrame"));
    ui.m_pBottomFrame->setMaximumHeight(52);
    ui.m_pBottomFrame->setFrameShape(QFrame::StyledPanel);
    ui.m_pBottomFrame->setFrameShadow(QFrame::Raised);
    auto *bottomGrid = new QGridLayout(ui.m_pBottomFrame);
    bottomGrid->setObjectName(QStringLiteral("gridLayout_2"));
    bottomGrid->addItem(new QSpacerItem(10, 25, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 0);
    ui.pOkBtn = makeBottomButton(ui.m_pBottomFrame, "pOkBtn", tr("OK"), 80);
    ui.pCancelBtn = makeBottomButton(ui.m_pBottomFrame, "pCancelBtn", tr("Cancel"), 80);
    bottomGrid->addWidget(ui.pOkBtn, 0, 1);
    bottomGrid->addWidget(ui.pCancelBtn, 0, 2);
    ui.m_pgridBaseDialog->addWidget(ui.m_pBottomFrame, 2, 0);
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
    if (!FirstCallOfThisClick(1))
        return;
    if (m_bAutoAccept)
        accept();
    else
        emit ClickedOKBtnSig();
}

void CBaseDialog::on_m_pCloseBtn_clicked()
{
    if (!FirstCallOfThisClick(2))
        return;
    if (m_bAutoClose)
        close();
    else
        emit ClickedCloseBtnSig();
}

void CBaseDialog::SetOkBtnEnable(bool bEnabled)
{
    ui.pOkBtn->setEnabled(bEnabled);
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

#endif

CBaseDialog::~CBaseDialog()
{
    m_bDestroying = true;
    setProperty(kDestroyingProperty, true);
}

void CBaseDialog::SetCloseBtnVisible(bool bVisible)
{
    ui.m_pCloseBtn->setVisible(bVisible);
}

bool CBaseDialog::SetContentWidget(QWidget *pWidget)
{
    if (!pWidget)
        return false;
    if (!m_pContentLayout)
        m_pContentLayout = new QGridLayout(ui.m_pContentFrame);
    m_pContentLayout->setContentsMargins(0, 0, 0, 0);
    m_pContentLayout->addWidget(pWidget);
    return true;
}

void CBaseDialog::mousePressEvent(QMouseEvent *e)
{
    const QPoint pos = e->position().toPoint();
    if (pos.y() <= kDragBand)
        m_bDragging = true;
    m_pointPress = pos;
    QDialog::mousePressEvent(e);
}

void CBaseDialog::mouseMoveEvent(QMouseEvent *e)
{
    if (m_bDragging)
        move(e->globalPosition().toPoint() - m_pointPress);
    QDialog::mouseMoveEvent(e);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent *e)
{
    m_bDragging = false;
    QDialog::mouseReleaseEvent(e);
}

void CBaseDialog::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
        // Escape never closes these dialogs.
        e->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Select:
#ifndef TOOLKIT_PLUGIN_EDITION
        ui.m_pConfirmBtn->click();
        return;
#else
        accept();
        QDialog::keyPressEvent(e);
        return;
#endif
    default:
        QDialog::keyPressEvent(e);
    }
}

void CBaseDialog::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    // Rounded corners of radius 2.
    const QRect r = rect();
    QRegion region(r.adjusted(2, 0, -2, 0));
    region += QRegion(r.adjusted(0, 2, 0, -2));
    region += QRegion(QRect(r.left(), r.top(), 4, 4), QRegion::Ellipse);
    region += QRegion(QRect(r.right() - 3, r.top(), 4, 4), QRegion::Ellipse);
    region += QRegion(QRect(r.left(), r.bottom() - 3, 4, 4), QRegion::Ellipse);
    region += QRegion(QRect(r.right() - 3, r.bottom() - 3, 4, 4), QRegion::Ellipse);
    setMask(region);
}
