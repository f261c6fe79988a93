#pragma once

#include "CBaseDialog.h"

class QLabel;
class QProgressBar;

// "n of N", the device being worked on, a progress bar and Cancel, in the
// toolkit's dialog frame.
class CZeltProgressDialog : public CBaseDialog
{
    Q_OBJECT
public:
    explicit CZeltProgressDialog(QWidget *parent);

    void SetTitle(const QString &strTitle);
    void SetProgress(int iDone, int iTotal);
    void SetCurrentDevice(const QString &strDevice);
    // After Cancel: the button is off until the commands in flight are back.
    void SetStopping();
    // The batch is over: the dialog closes.
    void Finish();

    bool IsStopping() const { return m_bStopping; }

    // Cancel and Return only ask; the dialog stays until the batch is over.
    void accept() override;
    void reject() override;

signals:
    void CancelRequested();

protected:
    void closeEvent(QCloseEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void Retranslate();

    QLabel *m_pLabelCount = nullptr;
    QLabel *m_pLabelDevice = nullptr;
    QProgressBar *m_pProgress = nullptr;
    int m_iDone = 0;
    int m_iTotal = 0;
    bool m_bStopping = false;
    bool m_bFinished = false;
};
