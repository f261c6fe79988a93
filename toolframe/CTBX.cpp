#include "CTBX.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "CBaseDragFrame.h"
#include "CCustomEvent.h"
#include "CTabScene.h"
#include "CViewStoregeManager.h"
#include "CWarnDlg.h"
#include "ClientConfigManager.h"
#include "ScreenFit.h"

namespace {

struct Manual {
    int type;
    const char *english;
    const char *localised;
};
// The localised names carry the tool's name and "user manual" in Chinese.
const Manual kManuals[] = {
    {2, "/User Manual Zeltscan V2 2 3.pdf", "/Zeltscan 用户手册.pdf"},
    {3, "/Cam Count Planner User Manual.pdf", "/摄像机数量规划 用户手册.pdf"},
    {4, "/Storage Planner User Manual.pdf", "/存储规划 用户手册.pdf"},
    {5, "/Link Planner User Manual.pdf", "/链路规划 用户手册.pdf"},
    {6, "/Sharpness Aid User Manual.pdf", "/清晰度辅助 用户手册.pdf"},
    {7, "/Optics Picker User Manual.pdf", "/镜头选型 用户手册.pdf"},
    {8, "/Bulk Settings User Manual.pdf", "/批量配置 用户手册.pdf"},
    {9, "/Task Planner User Manual.pdf", "/任务规划 用户手册.pdf"},
    {10, "/Archive Fetch User Manual.pdf", "/录像备份 用户手册.pdf"},
    {11, "/Clip Viewer User Manual.pdf", "/录像回放 用户手册.pdf"},
    {12, "/Bulk Firmware User Manual.pdf", "/批量升级 用户手册.pdf"},
};

} // namespace

CTBX::CTBX(QWidget *parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    CViewStoregeManager::Instance()->SetParentWidget(this);

    setWindowTitle(tr("TBX"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    setStyleSheet(QStringLiteral("CTBX{border:1px solid black;}"));

    m_pLayout = new QVBoxLayout;
    m_pLayout->setContentsMargins(1, 0, 1, 0);
    m_pLayout->setSpacing(0);
    m_pMainFrame = new CBaseDragFrame(this, false);
    m_pLayout->addWidget(m_pMainFrame);
    auto *central = new QWidget(this);
    central->setLayout(m_pLayout);
    setCentralWidget(central);

    emit m_pMainFrame->SignalShowSize(257);

    qTBX::CCustomEvent ev(qTBX::CCustomEvent::OpenPage);
    ev.SetValue(qTBX::CCustomEvent::PageType, 1);
    ev.SetValue(qTBX::CCustomEvent::Detached, false);
    QCoreApplication::sendEvent(m_pMainFrame, &ev);

    move(ScreenFit::Centred(size(), ScreenFit::Available(this)));
}

void CTBX::closeEvent(QCloseEvent *event)
{
    if (CWarnDlg::ShowConfirmMsg(tr("Confirm"), tr("Sure to close software"), this) == 1) {
        QMetaObject::invokeMethod(qApp, "quit", Qt::QueuedConnection);
        event->accept();
    } else {
        event->ignore();
    }
}

QString CTBX::ManualFileName(int iPageType, int iLanguage)
{
    for (const Manual &m : kManuals)
        if (m.type == iPageType)
            return QString::fromUtf8(iLanguage == 1 ? m.localised : m.english);
    return QString();
}

bool CTBX::OpenManual(int iPageType)
{
    const int language = ClientConfigManager::Instance()->GetInt(ClientConfigManager::Translator, 0);
    const QString name = ManualFileName(iPageType, language);
    if (name.isEmpty())
        return false;
    // The desktop's handler reports success once it has started its helper,
    // whether or not the file is there.
    const QString path = QDir::currentPath() + name;
    if (!QFileInfo(path).isFile())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CTBX::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_F1) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    const int type = m_pMainFrame->TabScene()->CurrentPageType();
    if (type == 1)
        return;
    if (!OpenManual(type)) {
        CWarnDlg dlg(this);
        dlg.ExecMsg(tr("Info"), tr("Can not find Manual."));
    }
}
