#include "CFileDialog.h"

#include <QDir>
#include <QFileInfo>

CFileDialog::CFileDialog(QWidget *parent, const QString &strTitle, const QString &strStart, const QString &strFilter,
                         QFileDialog::FileMode mode, QFileDialog::AcceptMode accept)
    : CBaseDialog(parent, false, false, false)
{
    SetCloseBtnVisible(true);
    resize(600, 400);
    setStyleSheet(styleSheet()
                  + QStringLiteral("QListView::item:hover,QFileDialogTreeView::item:hover     {         "
                                   "background-color:rgb(251,251,194);        color:rgb(0,0,0);    }     "
                                   "QListView::item:selected,QFileDialogTreeView::item:selected    {         "
                                   "background-color:rgb(238,238,238);        color:rgb(0,0,0);    } "));
    SetTitleText(strTitle);
    setWindowTitle(strTitle);

    m_pFileDialog = new QFileDialog(this, strTitle, StartFolder(strStart), strFilter);
    m_pFileDialog->setWindowFlags(Qt::Widget);
    m_pFileDialog->setOption(QFileDialog::DontUseNativeDialog, true);
    m_pFileDialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    m_pFileDialog->setOption(QFileDialog::ReadOnly, true);
    m_pFileDialog->setFileMode(mode);
    m_pFileDialog->setAcceptMode(accept);
    if (mode == QFileDialog::Directory)
        m_pFileDialog->setOption(QFileDialog::ShowDirsOnly, true);
    SetContentWidget(m_pFileDialog);
    connect(m_pFileDialog, &QFileDialog::accepted, this, &QDialog::accept);
    connect(m_pFileDialog, &QFileDialog::rejected, this, &QDialog::reject);
}

QStringList CFileDialog::SelectedFiles() const
{
    return m_pFileDialog->selectedFiles();
}

QString CFileDialog::StartFolder(const QString &strPath)
{
    const QFileInfo info(strPath);
    if (!strPath.isEmpty() && info.isDir())
        return strPath;
    const QFileInfo parent(info.absolutePath());
    if (!strPath.isEmpty() && parent.isDir())
        return parent.absoluteFilePath();
    return QDir::currentPath();
}

namespace {
QStringList Run(QWidget *parent, const QString &title, const QString &start, const QString &filter,
                QFileDialog::FileMode mode, QFileDialog::AcceptMode accept)
{
    CFileDialog dlg(parent, title, start, filter, mode, accept);
    if (dlg.exec() != QDialog::Accepted)
        return {};
    return dlg.SelectedFiles();
}
} // namespace

QString CFileDialog::GetSaveFileName(QWidget *parent, const QString &strTitle, const QString &strStart,
                                     const QString &strFilter)
{
    return Run(parent, strTitle, strStart, strFilter, QFileDialog::AnyFile, QFileDialog::AcceptSave).value(0);
}

QString CFileDialog::GetOpenFileName(QWidget *parent, const QString &strTitle, const QString &strStart,
                                     const QString &strFilter)
{
    return Run(parent, strTitle, strStart, strFilter, QFileDialog::ExistingFile, QFileDialog::AcceptOpen).value(0);
}

QStringList CFileDialog::GetOpenFileNames(QWidget *parent, const QString &strTitle, const QString &strStart,
                                          const QString &strFilter)
{
    return Run(parent, strTitle, strStart, strFilter, QFileDialog::ExistingFiles, QFileDialog::AcceptOpen);
}

QString CFileDialog::GetExistingDirectory(QWidget *parent, const QString &strTitle, const QString &strStart)
{
    return Run(parent, strTitle, strStart, QString(), QFileDialog::Directory, QFileDialog::AcceptOpen).value(0);
}
