#include "CZeltProgressDialog.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

#include "Buttons.h"

CZeltProgressDialog::CZeltProgressDialog(QWidget *parent) : CBaseDialog(parent, true, false, true)
{
    setModal(true);
    setFixedSize(360, 184);
    SetCloseBtnVisible(false);

    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("ZeltProgress"));
    auto *grid = new QGridLayout(content);
    grid->setContentsMargins(18, 6, 18, 6);
    grid->setVerticalSpacing(8);
    grid->setRowStretch(0, 1);
    m_pLabelCount = new QLabel(content);
    m_pLabelCount->setObjectName(QStringLiteral("labelProgressCount"));
    m_pLabelDevice = new QLabel(content);
    m_pLabelDevice->setObjectName(QStringLiteral("labelProgressDevice"));
    m_pLabelDevice->setTextFormat(Qt::PlainText);
    m_pLabelDevice->setMinimumHeight(22);
    m_pProgress = new QProgressBar(content);
    m_pProgress->setObjectName(QStringLiteral("progressBatch"));
    m_pProgress->setTextVisible(false);
    m_pProgress->setFixedHeight(14);
    // Centred between the title and the button row.
    grid->addWidget(m_pLabelCount, 1, 0);
    grid->addWidget(m_pLabelDevice, 2, 0);
    grid->addWidget(m_pProgress, 3, 0);
    grid->setRowStretch(4, 1);
    SetContentWidget(content);
    Retranslate();
}

void CZeltProgressDialog::SetTitle(const QString &strTitle)
{
    SetTitleText(strTitle);
    setWindowTitle(strTitle);
}

void CZeltProgressDialog::SetProgress(int iDone, int iTotal)
{
    m_iDone = iDone;
    m_iTotal = iTotal;
    m_pProgress->setRange(0, qMax(1, iTotal));
    m_pProgress->setValue(iDone);
    m_pLabelCount->setText(tr("%1 of %2").arg(iDone).arg(iTotal));
}

void CZeltProgressDialog::SetCurrentDevice(const QString &strDevice)
{
    m_pLabelDevice->setText(m_bStopping ? tr("Stopping...") : strDevice);
}

void CZeltProgressDialog::SetStopping()
{
    m_bStopping = true;
    CancelButton()->setEnabled(false);
    m_pLabelDevice->setText(tr("Stopping..."));
}

void CZeltProgressDialog::Finish()
{
    m_bFinished = true;
    QDialog::done(QDialog::Accepted);
}

void CZeltProgressDialog::accept()
{
    if (m_bFinished)
        QDialog::accept();
}

void CZeltProgressDialog::reject()
{
    if (m_bFinished) {
        QDialog::reject();
        return;
    }
    if (!m_bStopping)
        emit CancelRequested();
}

void CZeltProgressDialog::closeEvent(QCloseEvent *e)
{
    if (m_bFinished) {
        CBaseDialog::closeEvent(e);
        return;
    }
    e->ignore();
    reject();
}

void CZeltProgressDialog::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::LanguageChange)
        Retranslate();
    CBaseDialog::changeEvent(e);
}

void CZeltProgressDialog::Retranslate()
{
    CancelButton()->setText(tr("Cancel"));
    SetProgress(m_iDone, m_iTotal);
    if (m_bStopping)
        m_pLabelDevice->setText(tr("Stopping..."));
}
