#pragma once
// The "Save" dialog of the Excel export: a file name and a folder; OK writes
// the device table as a workbook through QODBC.

#include <QList>
#include <QString>

#include "CBaseDialog.h"

class QAbstractItemModel;
class QGridLayout;
class QLabel;
class QLineEdit;
class QSpacerItem;
class CPathComboBox;

class PathWidget : public CBaseDialog
{
    Q_OBJECT
public:
    // columns: the model's columns written, in order; none given: every
    // column but the last (a model's hidden one).
    explicit PathWidget(QAbstractItemModel *pModel, QWidget *parent = nullptr, const QList<int> &columns = {});

    // The last folder followed by the typed name.
    QString GetFullName() const;

    // The folder of the last confirmed export, shared by every dialog.
    static QString LastFolder();
    static void SetLastFolder(const QString &strFolder);

    // One sheet holds at most this many rows under its header.
    static constexpr int kMaxRows = 65535;

    struct Ui {
        QWidget *form = nullptr;
        QGridLayout *gridLayout_5 = nullptr;
        QGridLayout *gridLayout_4 = nullptr;
        QGridLayout *gridLayout_3 = nullptr;
        QLabel *label = nullptr;
        QLineEdit *edtName = nullptr;
        QGridLayout *gridLayout_2 = nullptr;
        QGridLayout *gridLayout = nullptr;
        QLabel *labelSelectPath = nullptr;
        CPathComboBox *comboBox = nullptr;
    } form;

public slots:
    void onConfirm();

protected:
    void changeEvent(QEvent *e) override;

private:
    void SetupForm();
    void RetranslateForm();
    bool WriteWorkbook(const QString &strName);
    // A name error: the tip at the name field, which gets the focus.
    void ShowNameTip(const QString &strText);

    QAbstractItemModel *m_pModel;
    QList<int> m_columns;
};
