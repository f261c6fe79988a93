#include "PathWidget.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "CPathComboBox.h"
#include "CToolLabel.h"
#include "CWarnDlg.h"
#include "ui_PathWidget.h"

Q_LOGGING_CATEGORY(lcZeltExcel, "zelt.excel")

namespace {
QString g_lastFolder;
const char kConnection[] = "excelexport";
} // namespace

QString PathWidget::LastFolder()
{
    return g_lastFolder;
}

void PathWidget::SetLastFolder(const QString &strFolder)
{
    g_lastFolder = strFolder;
}

PathWidget::PathWidget(QAbstractItemModel *pModel, QWidget *parent, const QList<int> &columns)
    : CBaseDialog(parent, true, true, true)
    , m_pForm(new Ui_PathWidget())
    , m_pModel(pModel)
    , m_columns(columns)
{
    SetAutoAccept(false);
    connect(this, &CBaseDialog::ClickedOKBtnSig, this, &PathWidget::onConfirm);
    setFixedSize(320, 240);
    auto *content = new QWidget(this);
    m_pForm->setupUi(content);
    m_pForm->comboBox->SetMode(CPathComboBox::Folder);
    SetContentWidget(content);
    RetranslateForm();
    m_pForm->comboBox->addItem(g_lastFolder);
    m_pForm->comboBox->setToolTip(g_lastFolder);
    // Typing starts in the name, then Tab goes on to the folder.
    m_pForm->edtName->setFocus();
    setTabOrder(m_pForm->edtName, m_pForm->comboBox);
}

void PathWidget::RetranslateForm()
{
    m_pForm->retranslateUi(NameField()->parentWidget());
    SetTitleText(tr("Save"));
    setWindowTitle(tr("Save"));
}

void PathWidget::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::LanguageChange && m_pForm->edtName)
        RetranslateForm();
    CBaseDialog::changeEvent(e);
}

PathWidget::~PathWidget() = default;

QLineEdit *PathWidget::NameField() const
{
    return m_pForm->edtName;
}

CPathComboBox *PathWidget::FolderBox() const
{
    return m_pForm->comboBox;
}

void PathWidget::ShowNameTip(const QString &strText)
{
    m_pForm->edtName->setFocus();
    CToolLabel::ShowText(m_pForm->edtName->mapToGlobal(QPoint(0, 0)), strText, m_pForm->edtName);
}

void PathWidget::onConfirm()
{
    const QString trimmed = m_pForm->edtName->text().trimmed();
    if (trimmed.isEmpty()) {
        ShowNameTip(tr("The name is invalid"));
        return;
    }
    static const QString kForbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar c : trimmed) {
        if (kForbidden.contains(c)) {
            ShowNameTip(tr("The name contains illegal character"));
            return;
        }
    }

    const QString name = m_pForm->edtName->text();
    g_lastFolder = m_pForm->comboBox->currentText();
    const QString path = g_lastFolder + name + QStringLiteral(".xls");
    // The workbook being replaced is kept aside until the new one is
    // written, so a failed export does not cost the user the old file.
    QString kept;
    // Only a file is replaced: a folder of that name is never moved aside.
    if (QFileInfo(path).isDir()) {
        CWarnDlg::ShowMsg(tr("Warn"), tr("Saving failed."), this);
        return;
    }
    if (QFile::exists(path)) {
        if (CWarnDlg::ShowConfirmMsg(tr("Hint"), tr("The file name has been used; replace it?"), this) != 1)
            return;
        kept = path + QStringLiteral(".replaced~");
        for (int i = 1; QFile::exists(kept); ++i)
            kept = path + QStringLiteral(".replaced%1~").arg(i);
        if (!QFile::rename(path, kept)) {
            CWarnDlg::ShowMsg(tr("Warn"), tr("Saving failed."), this);
            return;
        }
    }
    auto giveBack = [&path, &kept]() {
        if (!kept.isEmpty()) {
            QFile::remove(path);
            QFile::rename(kept, path);
        }
    };
    // A sheet cannot hold more rows; a workbook that silently lacks devices
    // is worse than none.
    if (m_pModel->rowCount() > kMaxRows) {
        giveBack();
        CWarnDlg::ShowMsg(tr("Warn"), tr("Saving failed."), this);
        return;
    }

    const bool ok = WriteWorkbook(name);
    // Every export has its own connection, so a second one in the same run
    // starts clean.
    QSqlDatabase::removeDatabase(QString::fromLatin1(kConnection));
    if (!ok) {
        giveBack();
        CWarnDlg::ShowMsg(tr("Warn"), tr("Saving failed."), this);
        return;
    }
    if (!kept.isEmpty())
        QFile::remove(kept);
    CWarnDlg::ShowMsg(tr("Hint"), tr("Saved."), this);
    accept();
}

bool PathWidget::WriteWorkbook(const QString &strName)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QString::fromLatin1(kConnection));
    if (!db.isValid()) {
        qCDebug(lcZeltExcel) << "no QODBC driver";
        return false;
    }
    const QString file = g_lastFolder + strName + QStringLiteral(".xls");
    // Values in braces (a closing brace doubled): a ';' or '=' in the name
    // or the folder would otherwise start an attribute of its own, and a
    // second DBQ would name another workbook.
    auto braced = [](QString value) {
        return QLatin1Char('{') + value.replace(QLatin1Char('}'), QStringLiteral("}}")) + QLatin1Char('}');
    };
    const QString connect = QStringLiteral("DRIVER={Microsoft Excel Driver (*.xls)};")
                            + QStringLiteral("DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=")
                            + braced(strName + QStringLiteral(".xls")) + QStringLiteral(";DBQ=") + braced(file);
    db.setDatabaseName(connect);
    if (!db.open()) {
        qCDebug(lcZeltExcel) << "open failed:" << db.lastError().text();
        return false;
    }

    QList<int> exported = m_columns;
    if (exported.isEmpty())
        for (int c = 0; c < m_pModel->columnCount() - 1; ++c)
            exported.append(c);
    const int columns = int(exported.size());
    QStringList titles;
    for (int c : exported)
        titles << m_pModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();

    bool ok = true;
    {
        // A file name may hold the closing bracket: doubled, it stays part
        // of the quoted name.
        auto bracketed = [](QString name) { return name.replace(QLatin1Char(']'), QStringLiteral("]]")); };
        QString create = QStringLiteral("CREATE TABLE [%1] (").arg(bracketed(strName));
        for (int c = 0; c < columns; ++c) {
            if (c)
                create += QLatin1Char(',');
            create += QLatin1Char('[') + bracketed(titles.at(c)) + QStringLiteral("] char(64)");
        }
        create += QLatin1Char(')');
        QSqlQuery query(db);
        query.prepare(create);
        if (!query.exec())
            qCDebug(lcZeltExcel) << "create table:" << query.lastError().text();

        QString insert = QStringLiteral("INSERT INTO [%1] (").arg(bracketed(strName));
        QString values = QStringLiteral("VALUES(");
        for (int c = 0; c < columns; ++c) {
            if (c) {
                insert += QLatin1Char(',');
                values += QLatin1Char(',');
            }
            insert += QLatin1Char('"') + QString(titles.at(c)).replace(QLatin1Char('"'), QStringLiteral("\"\""))
                      + QLatin1Char('"');
            values += QStringLiteral(":%1").arg(c + 1);
        }
        insert += QLatin1Char(')') + values + QLatin1Char(')');
        QSqlQuery row(db);
        row.prepare(insert);
        for (int r = 0; r < m_pModel->rowCount() && ok; ++r) {
            for (int c = 0; c < columns; ++c)
                row.bindValue(QStringLiteral(":%1").arg(c + 1), m_pModel->index(r, exported.at(c)).data().toString(),
                              QSql::In);
            if (!row.exec()) {
                qCDebug(lcZeltExcel) << "insert row" << r << row.lastError().text();
                ok = false;
            }
        }
    }
    db.close();
    // The workbook is written when the connection closes, and a failure
    // there does not come back through close(): only a file that is there
    // now was saved (a file of that name was removed before).
    if (ok && !QFile::exists(file)) {
        qCDebug(lcZeltExcel) << "no workbook after closing:" << file;
        ok = false;
    }
    return ok;
}
