#include "QtZeltForm.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QToolButton>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "LineEdits.h"

namespace {

template <typename T>
T *Named(T *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QGridLayout *Grid(QWidget *parent, const char *name)
{
    auto *g = parent ? new QGridLayout(parent) : new QGridLayout;
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

QLabel *Label(QWidget *parent, const char *name, int width = 110)
{
    auto *l = Named(new QLabel(parent), name);
    if (width > 0)
        l->setMinimumWidth(width);
    return l;
}

QLineEdit *Edit(QWidget *parent, const char *name)
{
    auto *e = Named(new QLineEdit(parent), name);
    e->setMinimumSize(152, 22);
    e->setMaximumWidth(152);
    return e;
}

QFrame *EditFrame(QWidget *parent, const char *name)
{
    auto *f = Named(new QFrame(parent), name);
    f->setMinimumWidth(154);
    f->setFrameShape(QFrame::StyledPanel);
    f->setFrameShadow(QFrame::Raised);
    f->setLineWidth(0);
    return f;
}

QToolButton *Toggle(QWidget *parent, const char *name, const char *icon)
{
    auto *b = Named(new QToolButton(parent), name);
    b->setMinimumSize(10, 100);
    b->setMaximumWidth(10);
    b->setStyleSheet(QStringLiteral("background-image: url(:/images/MainView/frame_gap.png);\nborder-style:none;"));
    b->setIcon(QIcon(QString::fromLatin1(icon)));
    b->setIconSize(QSize(100, 100));
    return b;
}

QFrame *Line(QWidget *parent, const char *name, QFrame::Shape shape)
{
    auto *l = Named(new QFrame(parent), name);
    l->setFrameShape(shape);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

} // namespace

void Ui_QtZeltClass::setupUi(QWidget *QtZeltClass)
{
    if (QtZeltClass->objectName().isEmpty())
        QtZeltClass->setObjectName(QStringLiteral("QtZeltClass"));
    QtZeltClass->resize(1008, 871);

    gridLayout = Grid(QtZeltClass, "gridLayout");
    gridLayout->setSpacing(0);
    gridLayout->setContentsMargins(-1, 0, -1, -1);

    // Top bar of the table.
    frame_2 = Named(new QFrame(QtZeltClass), "frame_2");
    frame_2->setMinimumHeight(40);
    frame_2->setFrameShape(QFrame::StyledPanel);
    frame_2->setFrameShadow(QFrame::Raised);
    gridLayout_2 = Grid(frame_2, "gridLayout_2");
    label_10 = Label(frame_2, "label_10", 0);
    gridLayout_2->addWidget(label_10, 0, 0, 1, 1);
    QFont font10;
    font10.setPointSize(10);
    label = Label(frame_2, "label", 0);
    label->setFont(font10);
    gridLayout_2->addWidget(label, 0, 1, 1, 1);
    m_pLabelCount = Label(frame_2, "m_pLabelCount", 0);
    m_pLabelCount->setMinimumHeight(24);
    m_pLabelCount->setFont(font10);
    m_pLabelCount->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    m_pLabelCount->setWordWrap(false);
    gridLayout_2->addWidget(m_pLabelCount, 0, 2, 1, 1);
    horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    gridLayout_2->addItem(horizontalSpacer, 0, 3, 1, 1);
    btbExcel = Named(new QPushButton(frame_2), "btbExcel");
    btbExcel->setIcon(QIcon(QStringLiteral(":/images/excel.png")));
    gridLayout_2->addWidget(btbExcel, 0, 4, 1, 1);
    pushButtonManualUpdate = Named(new CPushButton(frame_2), "pushButtonManualUpdate");
    pushButtonManualUpdate->setMinimumSize(50, 24);
    pushButtonManualUpdate->setIcon(QIcon(QStringLiteral(":/images/ButtonIcon/refresh.png")));
    gridLayout_2->addWidget(pushButtonManualUpdate, 0, 5, 1, 1);
    gridLayout->addWidget(frame_2, 0, 0, 1, 1);

    tableWidgetDevice = Named(new CTableView(QtZeltClass), "tableWidgetDevice");
    gridLayout->addWidget(tableWidgetDevice, 1, 0, 1, 1);

    m_pBtnExpand = Toggle(QtZeltClass, "m_pBtnExpand", ":/images/AjustFocus/SepShow.png");
    gridLayout->addWidget(m_pBtnExpand, 0, 1, 2, 1);

    gridLayout_5 = new QGridLayout;
    gridLayout_5->setObjectName(QStringLiteral("gridLayout_5"));
    line_2 = Line(QtZeltClass, "line_2", QFrame::VLine);
    gridLayout_5->addWidget(line_2, 0, 0, 1, 1);

    // Settings column.
    m_pSetFrame = Named(new QFrame(QtZeltClass), "m_pSetFrame");
    m_pSetFrame->setFixedWidth(290);
    m_pSetFrame->setMinimumHeight(600);
    m_pSetFrame->setFrameShape(QFrame::StyledPanel);
    m_pSetFrame->setFrameShadow(QFrame::Raised);
    gridLayout_19 = Grid(m_pSetFrame, "gridLayout_19");
    QWidget *s = m_pSetFrame;

    label_162 = Label(s, "label_162", 0);
    label_162->setMinimumHeight(24);
    label_162->setStyleSheet(QStringLiteral("color: rgb(45, 91, 132);"));
    label_162->setWordWrap(true);
    gridLayout_19->addWidget(label_162, 0, 0, 1, 3);

    label_7 = Label(s, "label_7");
    // "Start IP Address:" of the batch mode is wider than the label column:
    // it wraps instead of pushing the fields out of the fixed-width column.
    label_7->setWordWrap(true);
    gridLayout_19->addWidget(label_7, 1, 0, 1, 2);
    frame_3 = EditFrame(s, "frame_3");
    gridLayout_10 = Grid(frame_3, "gridLayout_10");
    gridLayout_10->setHorizontalSpacing(0);
    gridLayout_10->setVerticalSpacing(6);
    gridLayout_10->setContentsMargins(0, 0, 0, 0);
    lineEditIPAddr = Edit(frame_3, "lineEditIPAddr");
    lineEditIPAddr->setMaxLength(39);
    gridLayout_10->addWidget(lineEditIPAddr, 0, 0, 1, 1);
    lineEditPort = Edit(frame_3, "lineEditPort");
    lineEditPort->setMaxLength(5);
    gridLayout_10->addWidget(lineEditPort, 1, 0, 1, 1);
    lineEditIPMask = Edit(frame_3, "lineEditIPMask");
    lineEditIPMask->setMaxLength(39);
    gridLayout_10->addWidget(lineEditIPMask, 2, 0, 1, 1);
    lineEditIPGateway = Edit(frame_3, "lineEditIPGateway");
    lineEditIPGateway->setMaxLength(39);
    gridLayout_10->addWidget(lineEditIPGateway, 3, 0, 1, 1);
    gridLayout_19->addWidget(frame_3, 1, 2, 4, 2);
    label_9 = Label(s, "label_9");
    gridLayout_19->addWidget(label_9, 2, 0, 1, 2);
    label_8 = Label(s, "label_8");
    gridLayout_19->addWidget(label_8, 3, 0, 1, 2);
    label_12 = Label(s, "label_12");
    gridLayout_19->addWidget(label_12, 4, 0, 1, 2);

    label_13 = Label(s, "label_13");
    gridLayout_19->addWidget(label_13, 5, 0, 1, 2);
    frame = EditFrame(s, "frame");
    gridLayout_9 = Grid(frame, "gridLayout_9");
    gridLayout_9->setHorizontalSpacing(0);
    gridLayout_9->setVerticalSpacing(4);
    gridLayout_9->setContentsMargins(0, 0, 0, 0);
    lineEditIPv6Addr = Edit(frame, "lineEditIPv6Addr");
    lineEditIPv6Addr->setMaxLength(39);
    gridLayout_9->addWidget(lineEditIPv6Addr, 0, 0, 1, 1);
    lineEditIPv6Gateway = Edit(frame, "lineEditIPv6Gateway");
    lineEditIPv6Gateway->setMaxLength(39);
    gridLayout_9->addWidget(lineEditIPv6Gateway, 1, 0, 1, 1);
    lineEditIPv6Mask = Edit(frame, "lineEditIPv6Mask");
    gridLayout_9->addWidget(lineEditIPv6Mask, 2, 0, 1, 1);
    gridLayout_19->addWidget(frame, 5, 2, 3, 2);
    label_14 = Label(s, "label_14");
    gridLayout_19->addWidget(label_14, 6, 0, 1, 2);
    label_15 = Label(s, "label_15");
    gridLayout_19->addWidget(label_15, 7, 0, 1, 2);

    label_11 = Label(s, "label_11");
    label_11->setMinimumHeight(22);
    gridLayout_19->addWidget(label_11, 8, 0, 1, 2);
    frame_5 = EditFrame(s, "frame_5");
    gridLayout_16 = Grid(frame_5, "gridLayout_16");
    gridLayout_16->setSpacing(0);
    gridLayout_16->setContentsMargins(0, 0, 0, 0);
    lineEditHttpPort = Edit(frame_5, "lineEditHttpPort");
    gridLayout_16->addWidget(lineEditHttpPort, 0, 0, 1, 1);
    gridLayout_19->addWidget(frame_5, 8, 2, 1, 2);

    label_5 = Label(s, "label_5");
    label_5->setMinimumHeight(22);
    gridLayout_19->addWidget(label_5, 9, 0, 1, 2);
    frame_4 = EditFrame(s, "frame_4");
    gridLayout_11 = Grid(frame_4, "gridLayout_11");
    gridLayout_11->setSpacing(0);
    gridLayout_11->setContentsMargins(0, 0, 0, 0);
    lineEditSerial = Edit(frame_4, "lineEditSerial");
    lineEditSerial->setReadOnly(true);
    gridLayout_11->addWidget(lineEditSerial, 0, 0, 1, 1);
    gridLayout_19->addWidget(frame_4, 9, 2, 1, 2);

    line = Line(s, "line", QFrame::HLine);
    gridLayout_19->addWidget(line, 10, 0, 1, 1);

    checkBoxDhcp = Named(new QCheckBox(s), "checkBoxDhcp");
    gridLayout_19->addWidget(checkBoxDhcp, 11, 0, 1, 2);

    gridLayout_3 = new QGridLayout;
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    lineEditPort_Password = Named(new CPasswordLineEdit(s), "lineEditPort_Password");
    lineEditPort_Password->setMinimumSize(95, 22);
    lineEditPort_Password->setMaximumWidth(220);
    lineEditPort_Password->setEchoMode(QLineEdit::Password);
    gridLayout_3->addWidget(lineEditPort_Password, 0, 0, 1, 1);
    pushButtonModifyNetwork = Named(new CPushButton(s), "pushButtonModifyNetwork");
    pushButtonModifyNetwork->setMinimumSize(80, 24);
    pushButtonModifyNetwork->setMaximumWidth(80);
    gridLayout_3->addWidget(pushButtonModifyNetwork, 0, 1, 1, 1);
    horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    gridLayout_3->addLayout(horizontalLayout_2, 1, 0, 1, 2);
    gridLayout_19->addLayout(gridLayout_3, 12, 0, 1, 4);

    verticalSpacer = new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
    gridLayout_19->addItem(verticalSpacer, 13, 0, 1, 1);

    label_163 = Label(s, "label_163", 0);
    label_163->setMinimumHeight(24);
    label_163->setStyleSheet(QStringLiteral("color: rgb(45, 91, 132);"));
    gridLayout_19->addWidget(label_163, 14, 0, 1, 3);

    // Password section.
    gridLayout_18 = new QGridLayout;
    gridLayout_18->setObjectName(QStringLiteral("gridLayout_18"));
    gridLayout_4 = new QGridLayout;
    gridLayout_4->setObjectName(QStringLiteral("gridLayout_4"));
    label_17 = Label(s, "label_17", 108);
    label_17->setMinimumHeight(22);
    gridLayout_4->addWidget(label_17, 0, 0, 1, 1);
    m_pDefaultPwdLEdit = Named(new QLineEdit(s), "m_pDefaultPwdLEdit");
    m_pDefaultPwdLEdit->setMinimumSize(95, 22);
    m_pDefaultPwdLEdit->setMaximumWidth(200);
    m_pDefaultPwdLEdit->setEchoMode(QLineEdit::Password);
    gridLayout_4->addWidget(m_pDefaultPwdLEdit, 0, 1, 1, 1);
    gridLayout_18->addLayout(gridLayout_4, 0, 0, 1, 1);

    gridLayout_12 = new QGridLayout;
    gridLayout_12->setObjectName(QStringLiteral("gridLayout_12"));
    label_2 = Label(s, "label_2", 108);
    label_2->setFixedHeight(22);
    gridLayout_12->addWidget(label_2, 0, 0, 1, 1);
    edtNewPassword = Named(new QLineEdit(s), "edtNewPassword");
    edtNewPassword->setMinimumHeight(22);
    gridLayout_12->addWidget(edtNewPassword, 0, 1, 1, 1);
    gridLayout_18->addLayout(gridLayout_12, 1, 0, 1, 1);

    gridLayout_15 = new QGridLayout;
    gridLayout_15->setObjectName(QStringLiteral("gridLayout_15"));
    m_pLabelLevel = Label(s, "m_pLabelLevel", 108);
    m_pLabelLevel->setMaximumWidth(108);
    gridLayout_15->addWidget(m_pLabelLevel, 0, 0, 1, 1);
    gridLayout_7 = new QGridLayout;
    gridLayout_7->setObjectName(QStringLiteral("gridLayout_7"));
    gridLayout_7->setSpacing(0);
    QLabel **lamps[3] = {&m_pLabelLevel1, &m_pLabelLevel2, &m_pLabelLevel3};
    const char *lampNames[3] = {"m_pLabelLevel1", "m_pLabelLevel2", "m_pLabelLevel3"};
    for (int i = 0; i < 3; ++i) {
        QLabel *lamp = Label(s, lampNames[i], 0);
        lamp->setMinimumSize(40, 18);
        lamp->setMaximumSize(60, 18);
        lamp->setScaledContents(true);
        gridLayout_7->addWidget(lamp, 0, i, 1, 1);
        *lamps[i] = lamp;
    }
    gridLayout_15->addLayout(gridLayout_7, 0, 1, 1, 1);
    gridLayout_18->addLayout(gridLayout_15, 2, 0, 1, 1);

    gridLayout_17 = new QGridLayout;
    gridLayout_17->setObjectName(QStringLiteral("gridLayout_17"));
    label_3 = Label(s, "label_3", 108);
    label_3->setFixedHeight(22);
    gridLayout_17->addWidget(label_3, 0, 0, 1, 1);
    edtConfirmPassword = Named(new QLineEdit(s), "edtConfirmPassword");
    edtConfirmPassword->setMinimumHeight(22);
    gridLayout_17->addWidget(edtConfirmPassword, 0, 1, 1, 1);
    gridLayout_18->addLayout(gridLayout_17, 3, 0, 1, 1);
    gridLayout_19->addLayout(gridLayout_18, 15, 0, 1, 4);

    horizontalSpacer_2 = new QSpacerItem(182, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    gridLayout_19->addItem(horizontalSpacer_2, 16, 0, 1, 3);
    pushButtonModifyPassword = Named(new CPushButton(s), "pushButtonModifyPassword");
    pushButtonModifyPassword->setMinimumSize(80, 24);
    pushButtonModifyPassword->setMaximumWidth(80);
    gridLayout_19->addWidget(pushButtonModifyPassword, 16, 3, 1, 1);

    // Key-file controls.
    gridLayout_8 = new QGridLayout;
    gridLayout_8->setObjectName(QStringLiteral("gridLayout_8"));
    gridLayout_14 = new QGridLayout;
    gridLayout_14->setObjectName(QStringLiteral("gridLayout_14"));
    combExportFile = Named(new CPathComboBox(s), "combExportFile");
    combExportFile->setMinimumHeight(22);
    gridLayout_14->addWidget(combExportFile, 0, 0, 1, 1);
    btnExport = Named(new QPushButton(s), "btnExport");
    btnExport->setFixedSize(80, 24);
    gridLayout_14->addWidget(btnExport, 0, 1, 1, 1);
    gridLayout_8->addLayout(gridLayout_14, 0, 0, 1, 1);
    gridLayout_13 = new QGridLayout;
    gridLayout_13->setObjectName(QStringLiteral("gridLayout_13"));
    combImportFile = Named(new CPathComboBox(s), "combImportFile");
    combImportFile->setMinimumHeight(22);
    gridLayout_13->addWidget(combImportFile, 0, 0, 1, 1);
    btnImport = Named(new QPushButton(s), "btnImport");
    btnImport->setMinimumSize(80, 24);
    btnImport->setMaximumWidth(80);
    gridLayout_13->addWidget(btnImport, 0, 1, 1, 1);
    gridLayout_8->addLayout(gridLayout_13, 1, 0, 1, 1);
    gridLayout_19->addLayout(gridLayout_8, 17, 0, 1, 4);

    // Batch group.
    widgetBatch = Named(new QWidget(s), "widgetBatch");
    gridLayout_6 = Grid(widgetBatch, "gridLayout_6");
    gridLayout_6->setContentsMargins(0, 0, 0, 0);
    checkBoxBatchDhcp = Named(new QCheckBox(widgetBatch), "checkBoxBatchDhcp");
    gridLayout_6->addWidget(checkBoxBatchDhcp, 0, 0, 1, 2);
    lineEditPort_BatchPassword = Named(new CPasswordLineEdit(widgetBatch), "lineEditPort_BatchPassword");
    lineEditPort_BatchPassword->setMinimumSize(95, 22);
    lineEditPort_BatchPassword->setMaximumWidth(220);
    lineEditPort_BatchPassword->setEchoMode(QLineEdit::Password);
    gridLayout_6->addWidget(lineEditPort_BatchPassword, 1, 0, 1, 1);
    pushButtonModifyBatchNetwork = Named(new CPushButton(widgetBatch), "pushButtonModifyBatchNetwork");
    pushButtonModifyBatchNetwork->setFixedSize(80, 24);
    gridLayout_6->addWidget(pushButtonModifyBatchNetwork, 1, 1, 1, 1);
    gridLayout_19->addWidget(widgetBatch, 18, 0, 1, 4);

    verticalSpacer_2 = new QSpacerItem(20, 139, QSizePolicy::Minimum, QSizePolicy::Expanding);
    gridLayout_19->addItem(verticalSpacer_2, 19, 1, 1, 1);

    gridLayout_5->addWidget(m_pSetFrame, 0, 1, 1, 1);
    gridLayout->addLayout(gridLayout_5, 0, 2, 2, 1);

    m_pBtnShrink = Toggle(QtZeltClass, "m_pBtnShrink", ":/images/AjustFocus/SepHide.png");
    gridLayout->addWidget(m_pBtnShrink, 0, 3, 2, 1);

    QWidget::setTabOrder(lineEditPort_Password, pushButtonModifyNetwork);
    QWidget::setTabOrder(pushButtonModifyNetwork, m_pDefaultPwdLEdit);
    QWidget::setTabOrder(m_pDefaultPwdLEdit, pushButtonManualUpdate);
    QWidget::setTabOrder(pushButtonManualUpdate, tableWidgetDevice);

    retranslateUi(QtZeltClass);
}

void Ui_QtZeltClass::retranslateUi(QWidget *QtZeltClass)
{
    // Written out in full so that lupdate files the texts under the form.
    QtZeltClass->setWindowTitle(QCoreApplication::translate("QtZeltClass", "Form"));
    label_10->setText(
        QStringLiteral("<html><head/><body><p><img src=\":/images/ButtonIcon/infor_24.png\"/></p></body></html>"));
    label->setText(QCoreApplication::translate("QtZeltClass", "The total devices number:"));
    btbExcel->setText(QCoreApplication::translate("QtZeltClass", "Save as Excel"));
    pushButtonManualUpdate->setText(QCoreApplication::translate("QtZeltClass", "Refresh"));
    m_pBtnExpand->setText(QStringLiteral("..."));
    m_pBtnShrink->setText(QStringLiteral("..."));
    label_162->setText(QCoreApplication::translate("QtZeltClass", "Modify Network parameters"));
    label_7->setText(QCoreApplication::translate("QtZeltClass", "IP Address:"));
    label_9->setText(QCoreApplication::translate("QtZeltClass", "Port:"));
    label_8->setText(QCoreApplication::translate("QtZeltClass", "Subnet Mask:"));
    label_12->setText(QCoreApplication::translate("QtZeltClass", "Gateway:"));
    label_13->setText(QCoreApplication::translate("QtZeltClass", "IPv6 Address:"));
    label_14->setText(QCoreApplication::translate("QtZeltClass", "IPv6 Gateway:"));
    label_15->setText(QCoreApplication::translate("QtZeltClass", "IPv6 Prefix Length:"));
    label_11->setText(QCoreApplication::translate("QtZeltClass", "Http Port:"));
    label_5->setText(QCoreApplication::translate("QtZeltClass", "Device Serial:"));
    checkBoxDhcp->setText(QCoreApplication::translate("QtZeltClass", "Enable DHCP"));
    lineEditPort_Password->setPlaceholderText(QCoreApplication::translate("QtZeltClass", "Password"));
    pushButtonModifyNetwork->setText(QCoreApplication::translate("QtZeltClass", "Modify"));
    label_163->setText(QCoreApplication::translate("QtZeltClass", "Reset Default Password"));
    label_17->setText(QCoreApplication::translate("QtZeltClass", "Security code:"));
    label_2->setText(QCoreApplication::translate("QtZeltClass", "New Password:"));
    label_3->setText(QCoreApplication::translate("QtZeltClass", "Confirm Password:"));
    pushButtonModifyPassword->setText(QCoreApplication::translate("QtZeltClass", "Comeback"));
    btnExport->setText(QCoreApplication::translate("QtZeltClass", "Export"));
    btnImport->setText(QCoreApplication::translate("QtZeltClass", "Import"));
    checkBoxBatchDhcp->setText(QCoreApplication::translate("QtZeltClass", "Enable DHCP in Batch"));
    lineEditPort_BatchPassword->setPlaceholderText(QCoreApplication::translate("QtZeltClass", "Password"));
    pushButtonModifyBatchNetwork->setText(QCoreApplication::translate("QtZeltClass", "Modify"));
}
