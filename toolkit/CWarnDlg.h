#pragma once
// Message boxes.
//
//   CWarnDlg::ShowMsg(tr("Information"), tr("Saved."), this);        // OK-less box
//   if (CWarnDlg::ShowConfirmMsg(tr("Question"), tr("Sure?"), this) == 1) ...
//
// Result 1: confirmed (Confirm/OK button, Return or Enter); 0: closed or
// cancelled; -1: no parent for ShowConfirmMsg (and, in the plug-in edition,
// for ShowMsg too) - nothing is shown then.
//
// From another thread, emit CWarnInfoDlg::GetInstance()->ShowMsgInfoSig(...)
// (GetInstance must first be called once on the GUI thread).

#include "CBaseDialog.h"

#include <QObject>
#include <QPointer>
#include <QSizeF>

class QTextBrowser;

class CWarnDlg : public CBaseDialog
{
    Q_OBJECT
public:
    explicit CWarnDlg(QWidget *parent = nullptr);

    int ExecMsg(const QString &strTitle, const QString &strText);
    int ExecConfirmMsg(const QString &strTitle, const QString &strText);

    static int ShowMsg(const QString &strTitle, const QString &strText, QWidget *parent);
    static int ShowConfirmMsg(const QString &strTitle, const QString &strText, QWidget *parent);

    static constexpr int kDefaultWidth = 300;
    static constexpr int kFixedHeight = 225;
#ifndef TOOLKIT_PLUGIN_EDITION
    static constexpr int kMaxWidth = 1024;
#else
    static constexpr int kMaxWidth = 400;
#endif
    static constexpr int kMargin = 12;

    QTextBrowser *Browser() const
    {
        return m_pBrowserTxt;
    }
    // Sets the text and the box's width as they will be when shown.
    void PrepareText(const QString &strTitle, const QString &strText, bool bConfirm);

public slots:
    void TextNeededSize(const QSizeF &sizeText);

protected:
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void FitWidth(const QString &strText);
    void PlaceText();
    int TextWidth(const QString &strText) const;

    QTextBrowser *m_pBrowserTxt;
    int m_iDefaultWidth = kDefaultWidth;
    int m_iFixedHeight = kFixedHeight;
    int m_iMaxWidth = kMaxWidth;
    int m_iMargin = kMargin;
    int m_iTextTop = -1; // 15 once the box grew for its text, else centred
};

// Shows messages on the GUI thread for any thread.
class CWarnInfoDlg : public QObject
{
    Q_OBJECT
public:
    static CWarnInfoDlg *GetInstance();
    static void SetParentWidget(QWidget *pParent);
    static QWidget *ParentWidget();

signals:
    void ShowMsgInfoSig(const QString &strTitle, const QString &strContent);

public slots:
    void ShowMsgInfo(const QString &strTitle, const QString &strContent);

private:
    CWarnInfoDlg();
    static QPointer<QWidget> s_pParent;
};
