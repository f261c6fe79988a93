#include "CWarnDlg.h"

#include "Buttons.h"

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QScreen>
#include <QTextBrowser>
#include <QTextDocument>

CWarnDlg::CWarnDlg(QWidget *parent)
#ifndef TOOLKIT_PLUGIN_EDITION
    : CBaseDialog(parent, true, true, true, false, true)
#else
    : CBaseDialog(parent, true, true, true)
#endif
{
    QFrame *content = GetContentFrame();
    content->setWindowTitle(QStringLiteral("CWarmDlg"));
    m_pBrowserTxt = new QTextBrowser(content);
    m_pBrowserTxt->setObjectName(QStringLiteral("m_pBrowserTxt"));
    m_pBrowserTxt->setGeometry(50, 30, 141, 61);
    m_pBrowserTxt->setTextInteractionFlags(Qt::NoTextInteraction);
    m_pBrowserTxt->setOpenLinks(false);
    m_pBrowserTxt->setOpenExternalLinks(false);
    m_pBrowserTxt->setFrameShape(QFrame::NoFrame);
    m_pBrowserTxt->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pBrowserTxt->setStyleSheet(QStringLiteral("background-color: transparent;"));
    setStyleSheet(styleSheet() + QStringLiteral("QFrame#CWarnDlg{background-color: transparent;}"));
    resize(m_iDefaultWidth, m_iFixedHeight);
    connect(m_pBrowserTxt->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &CWarnDlg::TextNeededSize);
}

int CWarnDlg::TextWidth(const QString &strText) const
{
    const QFontMetrics fm(m_pBrowserTxt->font());
    if (Qt::mightBeRichText(strText)) {
        // Measure what will be shown, not the markup.
        QTextDocument doc;
        doc.setDefaultFont(m_pBrowserTxt->font());
        doc.setDocumentMargin(0);
        doc.setHtml(strText);
        return int(doc.idealWidth() + 0.5);
    }
    // A text of several lines is as wide as its widest line.
    int width = 0;
    for (const QString &line : strText.split(QLatin1Char('\n')))
        width = qMax(width, fm.horizontalAdvance(line));
    return width;
}

void CWarnDlg::FitWidth(const QString &strText)
{
    const int w = TextWidth(strText) + 15;
    const int need = w + 10;
    int dialogWidth;
    if (m_iDefaultWidth - m_iMargin >= need) {
        dialogWidth = m_iDefaultWidth;
        m_pBrowserTxt->setFixedWidth(w);
    } else if (need >= m_iMaxWidth - m_iMargin) {
        dialogWidth = m_iMaxWidth;
        m_pBrowserTxt->setFixedWidth(m_iMaxWidth - m_iMargin - 10);
    } else {
        dialogWidth = need + m_iMargin;
        m_pBrowserTxt->setFixedWidth(w);
    }
    setFixedSize(dialogWidth, m_iFixedHeight);
}

void CWarnDlg::PrepareText(const QString &strTitle, const QString &strText, bool bConfirm)
{
    m_iTextTop = -1;
    FitWidth(strText);
    SetCloseBtnVisible(true);
    SetBottomFrameVisible(bConfirm);
    SetTitleText(strTitle);
    // Lay the dialog out now so the text can be placed in the real frame.
    layout()->activate();
    m_pBrowserTxt->setText(strText);
    // The browser wraps at its new width only once it gets its resize event
    // (when shown); wrap the document now so the height is right at once.
    m_pBrowserTxt->document()->setTextWidth(m_pBrowserTxt->width() - 2 * m_pBrowserTxt->frameWidth());
    TextNeededSize(m_pBrowserTxt->document()->size());
}

int CWarnDlg::ExecMsg(const QString &strTitle, const QString &strText)
{
    PrepareText(strTitle, strText, false);
    return exec();
}

int CWarnDlg::ExecConfirmMsg(const QString &strTitle, const QString &strText)
{
    PrepareText(strTitle, strText, true);
    return exec();
}

int CWarnDlg::ShowMsg(const QString &strTitle, const QString &strText, QWidget *parent)
{
#ifdef TOOLKIT_PLUGIN_EDITION
    if (!parent)
        return -1;
#endif
    CWarnDlg dlg(parent);
    return dlg.ExecMsg(strTitle, strText);
}

int CWarnDlg::ShowConfirmMsg(const QString &strTitle, const QString &strText, QWidget *parent)
{
    if (!parent)
        return -1;
    CWarnDlg dlg(parent);
    return dlg.ExecConfirmMsg(strTitle, strText);
}

void CWarnDlg::TextNeededSize(const QSizeF &sizeText)
{
    if (!m_pBrowserTxt->parentWidget() || !m_pBrowserTxt->document())
        return;
    const int h = int(sizeText.height()) + 10;
    int shown = h;
    const int contentHeight = GetContentFrame()->height();
    if (contentHeight < h) {
        int grow = h - contentHeight + 30;
        // Never taller than the screen: beyond that the text scrolls (a run
        // over a thousand devices names every one of them).
        const QScreen *pScreen = parentWidget() ? parentWidget()->screen() : screen();
        const int most = pScreen ? pScreen->availableGeometry().height() - 20 : height() + grow;
        if (height() + grow > most) {
            grow = qMax(0, most - height());
            shown = qMax(contentHeight + grow - 30, 0);
        }
        setFixedHeight(height() + grow);
        layout()->activate();
        m_iTextTop = 15;
    }
    m_pBrowserTxt->setFixedHeight(shown);
    m_pBrowserTxt->setVerticalScrollBarPolicy(shown < h ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    PlaceText();
}

void CWarnDlg::PlaceText()
{
    const QFrame *content = GetContentFrame();
    const int top = m_iTextTop >= 0 ? m_iTextTop : (content->height() - m_pBrowserTxt->height()) / 2;
    const int left = (content->width() - m_pBrowserTxt->width()) / 2;
    m_pBrowserTxt->move(qMax(0, left), qMax(0, top));
}

void CWarnDlg::showEvent(QShowEvent *e)
{
    CBaseDialog::showEvent(e);
    // Place the text again once the frame has its final size.
    PlaceText();
}

void CWarnDlg::closeEvent(QCloseEvent *e)
{
    // Closing only hides the box, which ends its modal run.
    hide();
    e->ignore();
}

// ------------------------------------------------------------ CWarnInfoDlg

QPointer<QWidget> CWarnInfoDlg::s_pParent;

CWarnInfoDlg::CWarnInfoDlg()
{
    connect(this, &CWarnInfoDlg::ShowMsgInfoSig, this, &CWarnInfoDlg::ShowMsgInfo, Qt::AutoConnection);
}

CWarnInfoDlg *CWarnInfoDlg::GetInstance()
{
    static CWarnInfoDlg instance;
    return &instance;
}

void CWarnInfoDlg::SetParentWidget(QWidget *pParent)
{
    GetInstance();
    s_pParent = pParent;
}

QWidget *CWarnInfoDlg::ParentWidget()
{
    return s_pParent.data();
}

void CWarnInfoDlg::ShowMsgInfo(const QString &strTitle, const QString &strContent)
{
    auto *dlg = new CWarnDlg(s_pParent.data());
    dlg->ExecMsg(strTitle, strContent);
    delete dlg;
}
