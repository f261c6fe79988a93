#pragma once
// The "Save" dialog of the Excel export: a file name and a folder; OK writes
// the device table as a workbook through QODBC.

#include <QList>
#include <QString>

#include <memory>

#include "CBaseDialog.h"

class QAbstractItemModel;
class QLineEdit;
class CPathComboBox;
class Ui_PathWidget;

class PathWidget : public CBaseDialog
{
    Q_OBJECT
public:
    // columns: the model's columns written, in order; none given: every
    // column but the last (a model's hidden one).
    explicit PathWidget(QAbstractItemModel *pModel, QWidget *parent = nullptr, const QList<int> &columns = {});
    ~PathWidget() override;

    // The folder of the last confirmed export, shared by every dialog.
    static QString LastFolder();
    static void SetLastFolder(const QString &strFolder);

    // One sheet holds at most this many rows under its header.
    static constexpr int kMaxRows = 65535;

    // The form's fields (from PathWidget.ui).
    QLineEdit *NameField() const;
    CPathComboBox *FolderBox() const;

public slots:
    void onConfirm();

protected:
    void changeEvent(QEvent *e) override;

private:
    void RetranslateForm();
    bool WriteWorkbook(const QString &strName);
    // A name error: the tip at the name field, which gets the focus.
    void ShowNameTip(const QString &strText);

    std::unique_ptr<Ui_PathWidget> m_pForm;
    QAbstractItemModel *m_pModel;
    QList<int> m_columns;
};
