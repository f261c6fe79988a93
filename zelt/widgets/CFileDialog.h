#pragma once
// The toolkit-skinned file dialog: a small-skin base dialog with a close
// button, holding a non-native QFileDialog in its content frame.

#include <QFileDialog>
#include <QStringList>

#include "CBaseDialog.h"

class CFileDialog : public CBaseDialog
{
    Q_OBJECT
public:
    CFileDialog(QWidget *parent, const QString &strTitle, const QString &strStart, const QString &strFilter,
                QFileDialog::FileMode mode, QFileDialog::AcceptMode accept);

    QFileDialog *FileDialog() const { return m_pFileDialog; }
    // The chosen files after exec() returned Accepted.
    QStringList SelectedFiles() const;

    // The folder a dialog starts in: the path itself when it is a folder,
    // else its folder when that exists, else the current working folder.
    static QString StartFolder(const QString &strPath);

    static QString GetSaveFileName(QWidget *parent, const QString &strTitle, const QString &strStart,
                                   const QString &strFilter);
    static QString GetOpenFileName(QWidget *parent, const QString &strTitle, const QString &strStart,
                                   const QString &strFilter);
    static QStringList GetOpenFileNames(QWidget *parent, const QString &strTitle, const QString &strStart,
                                        const QString &strFilter);
    static QString GetExistingDirectory(QWidget *parent, const QString &strTitle, const QString &strStart);

private:
    QFileDialog *m_pFileDialog;
};
