#include "CPathComboBox.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "CFileDialog.h"

CPathComboBox::CPathComboBox(QWidget *parent) : QComboBox(parent) {}

void CPathComboBox::SetMode(int iMode)
{
    m_iMode = iMode;
    setToolTip(currentText());
}

QString CPathComboBox::FilterExtension(const QString &strFilter)
{
    const int star = strFilter.indexOf(QLatin1Char('*'));
    if (star < 0)
        return QString();
    int end = strFilter.indexOf(QLatin1Char(' '), star + 1);
    if (end < 0)
        end = strFilter.indexOf(QLatin1Char(')'), star + 1);
    return end < 0 ? strFilter.mid(star + 1) : strFilter.mid(star + 1, end - star - 1);
}

void CPathComboBox::mousePressEvent(QMouseEvent *e)
{
    // Only the arrow opens the chooser, so the text can be selected.
    if (e->button() == Qt::LeftButton && e->position().x() >= width() - kArrowWidth) {
        QComboBox::mousePressEvent(e);
        return;
    }
    e->accept();
}

void CPathComboBox::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Space && isEditable()) {
        e->ignore();
        return;
    }
    QComboBox::keyPressEvent(e);
}

void CPathComboBox::SetSinglePath(const QString &strPath)
{
    clear();
    addItem(strPath);
    setCurrentIndex(0);
    setToolTip(strPath);
}

void CPathComboBox::showPopup()
{
    const QString start = currentText().isEmpty() ? QStringLiteral(".") : currentText();
    switch (m_iMode) {
    case SaveFile: {
        QString path = CFileDialog::GetSaveFileName(this, m_strTitle, start, m_strFilter);
        if (path.isEmpty())
            return;
        const QString ext = FilterExtension(m_strFilter);
        if (!ext.isEmpty() && !path.endsWith(ext))
            path += ext;
        SetSinglePath(path);
        break;
    }
    case OpenFile: {
        const QString path = CFileDialog::GetOpenFileName(this, m_strTitle, start, m_strFilter);
        if (!path.isEmpty())
            SetSinglePath(path);
        break;
    }
    case Folder: {
        if (m_strTitle.isEmpty())
            m_strTitle = tr("Select Directory");
        QString path = CFileDialog::GetExistingDirectory(this, m_strTitle, start);
        if (path.isEmpty())
            return;
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        SetSinglePath(path);
        break;
    }
    case OpenFiles: {
        const QStringList paths = CFileDialog::GetOpenFileNames(this, m_strTitle, start, m_strFilter);
        if (paths.isEmpty())
            return;
        clear();
        addItems(paths);
        setCurrentIndex(0);
        break;
    }
    default: break;
    }
}
