#include "CInformationDlg.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QTextCursor>

QPointer<CInformationDlg> CInformationDlg::s_pPopup;

CInformationDlg::CInformationDlg(QWidget *parent)
    : QFrame(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SplashScreen)
{
    setObjectName(QStringLiteral("CUiSnapshotInfoWnd"));
    setStyleSheet(QStringLiteral("QWidget#CUiSnapshotInfoWnd{background: rgb(15, 15, 15); border: 2px;}"));
    setWindowTitle(QStringLiteral("Form"));
    setFixedSize(200, 150);
    auto *grid = new QGridLayout(this);
    grid->setObjectName(QStringLiteral("gridLayout"));
    m_pLabelPic = new QLabel(this);
    m_pLabelPic->setObjectName(QStringLiteral("m_pLabelPic"));
    m_pLabelPic->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
    m_pLabelPic->hide();
    m_pLabelPath = new QTextBrowser(this);
    m_pLabelPath->setObjectName(QStringLiteral("m_pLabelPath"));
    m_pLabelPath->setMinimumSize(160, 0);
    m_pLabelPath->setMaximumSize(160, 25);
    m_pLabelPath->setStyleSheet(QStringLiteral("background: rgb(15, 15, 15);\ncolor: rgb(255, 255, 255);"));
    m_pLabelPath->setFrameShape(QFrame::NoFrame);
    m_pLabelPath->setOpenLinks(false);
    m_pLabelPath->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->addWidget(m_pLabelPic, 0, 0);
    grid->addWidget(m_pLabelPath, 1, 0);
    connect(m_pLabelPath, &QTextBrowser::anchorClicked, this, &CInformationDlg::OnAnchorClicked);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CInformationDlg::OnClose);
}

CInformationDlg *CInformationDlg::Current()
{
    return s_pPopup.data();
}

void CInformationDlg::SetText(const QString &strText)
{
    m_pLabelPath->setMaximumHeight(16777215);
    if (!m_bPathMode) {
        m_pLabelPath->setTextCursor(QTextCursor());
        m_pLabelPath->setText(strText);
        return;
    }
    m_pLabelPath->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int slash = strText.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? strText.left(slash) : strText;
    // A local-file URL built by Qt: "file:///" glued to an absolute path
    // gives four slashes, and a bare name must not become a root path.
    const QString href = QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath()).toEncoded());
    m_pLabelPath->setText(QStringLiteral("<a href=\"%1\" style='background-color:transparent;border:none;"
                                         "color: rgb(255, 255, 255);'>%2</a>")
                              .arg(href.toHtmlEscaped(), strText.toHtmlEscaped()));
}

void CInformationDlg::ShowInformationAtScreenRightBottom(const QString &strText, QWidget *pWidget, bool bPathMode)
{
    if (!s_pPopup) {
        s_pPopup = new CInformationDlg(pWidget);
        s_pPopup->setAttribute(Qt::WA_DeleteOnClose);
    }
    CInformationDlg *popup = s_pPopup.data();
    QScreen *screen = pWidget ? pWidget->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        popup->move(area.right() + 1 - popup->QFrame::width(), area.bottom() + 1 - popup->QFrame::height());
    }
    popup->SetPathMode(bPathMode);
    popup->SetText(strText);
    popup->show();
    popup->m_timer.start(kShowMs);
}

void CInformationDlg::HideInformation()
{
    if (s_pPopup) {
        s_pPopup->m_timer.stop();
        s_pPopup->hide();
    }
}

void CInformationDlg::OnClose()
{
    if (rect().contains(mapFromGlobal(QCursor::pos()))) {
        m_timer.start(kShowMs);
        return;
    }
    hide();
}

void CInformationDlg::OnAnchorClicked(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

CSnapshotInfoWnd::CSnapshotInfoWnd(QWidget *parent) : CInformationDlg(parent) {}

void CSnapshotInfoWnd::SetPicture(const QPixmap &pixmap)
{
    m_pLabelPic->setPixmap(pixmap.scaled(160, 90, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_pLabelPic->setVisible(!pixmap.isNull());
}
