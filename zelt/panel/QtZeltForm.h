#pragma once
// The device panel's widget tree, written the way a generated form is:
// setupUi builds it once, retranslateUi sets every text and runs again on a
// language change. Object names are the names the rest of the plug-in uses.

#include <QCoreApplication>

class QCheckBox;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QToolButton;
class QWidget;
class CPasswordLineEdit;
class CPathComboBox;
class CPushButton;
class CTableView;

class Ui_QtZeltClass
{
public:
    QGridLayout *gridLayout;
    QFrame *frame_2;
    QGridLayout *gridLayout_2;
    QLabel *label_10;
    QLabel *label;
    QLabel *m_pLabelCount;
    QSpacerItem *horizontalSpacer;
    QPushButton *btbExcel;
    CPushButton *pushButtonManualUpdate;
    CTableView *tableWidgetDevice;
    QToolButton *m_pBtnExpand;
    QGridLayout *gridLayout_5;
    QFrame *line_2;
    QFrame *m_pSetFrame;
    QGridLayout *gridLayout_19;
    QLabel *label_162;
    QLabel *label_7;
    QFrame *frame_3;
    QGridLayout *gridLayout_10;
    QLineEdit *lineEditIPAddr;
    QLineEdit *lineEditPort;
    QLineEdit *lineEditIPMask;
    QLineEdit *lineEditIPGateway;
    QLabel *label_9;
    QLabel *label_8;
    QLabel *label_12;
    QLabel *label_13;
    QFrame *frame;
    QGridLayout *gridLayout_9;
    QLineEdit *lineEditIPv6Addr;
    QLineEdit *lineEditIPv6Gateway;
    QLineEdit *lineEditIPv6Mask;
    QLabel *label_14;
    QLabel *label_15;
    QLabel *label_11;
    QFrame *frame_5;
    QGridLayout *gridLayout_16;
    QLineEdit *lineEditHttpPort;
    QLabel *label_5;
    QFrame *frame_4;
    QGridLayout *gridLayout_11;
    QLineEdit *lineEditSerial;
    QFrame *line;
    QCheckBox *checkBoxDhcp;
    QGridLayout *gridLayout_3;
    CPasswordLineEdit *lineEditPort_Password;
    CPushButton *pushButtonModifyNetwork;
    QHBoxLayout *horizontalLayout_2;
    QSpacerItem *verticalSpacer;
    QLabel *label_163;
    QGridLayout *gridLayout_18;
    QGridLayout *gridLayout_4;
    QLabel *label_17;
    QLineEdit *m_pDefaultPwdLEdit;
    QGridLayout *gridLayout_12;
    QLabel *label_2;
    QLineEdit *edtNewPassword;
    QGridLayout *gridLayout_15;
    QLabel *m_pLabelLevel;
    QGridLayout *gridLayout_7;
    QLabel *m_pLabelLevel1;
    QLabel *m_pLabelLevel2;
    QLabel *m_pLabelLevel3;
    QGridLayout *gridLayout_17;
    QLabel *label_3;
    QLineEdit *edtConfirmPassword;
    QSpacerItem *horizontalSpacer_2;
    CPushButton *pushButtonModifyPassword;
    QGridLayout *gridLayout_8;
    QGridLayout *gridLayout_14;
    CPathComboBox *combExportFile;
    QPushButton *btnExport;
    QGridLayout *gridLayout_13;
    CPathComboBox *combImportFile;
    QPushButton *btnImport;
    QWidget *widgetBatch;
    QGridLayout *gridLayout_6;
    QCheckBox *checkBoxBatchDhcp;
    CPasswordLineEdit *lineEditPort_BatchPassword;
    CPushButton *pushButtonModifyBatchNetwork;
    QSpacerItem *verticalSpacer_2;
    QToolButton *m_pBtnShrink;

    void setupUi(QWidget *QtZeltClass);
    void retranslateUi(QWidget *QtZeltClass);
};
