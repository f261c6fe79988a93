// Renders the toolkit's main windows to PNG files for a look by eye.
//
//   xvfb-run -a build/dev/tests-bin/toolkit_render_shell  /tmp/shots
//   xvfb-run -a build/dev/tests-bin/toolkit_render_plugin /tmp/shots
//
// Both editions run with the application style and style sheet installed,
// as they do inside the shell's process.

#include "Buttons.h"
#include "CBaseDialog.h"
#include "CInformationDlg.h"
#include "CIpLineEdit.h"
#include "COrviStyle.h"
#include "CToolLabel.h"
#include "CWarnDlg.h"
#include "LineEdits.h"
#include "Toolkit.h"

#include <QApplication>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

#ifdef TOOLKIT_PLUGIN_EDITION
const char kEdition[] = "plugin";
#else
const char kEdition[] = "shell";
#endif

QString g_dir;
int g_failures = 0;

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
}

void shoot(QWidget *widget, const QString &name)
{
    QPointer<QWidget> w(widget);
    settle();
    if (!w) {
        std::fprintf(stderr, "%s went away before it could be rendered\n", qPrintable(name));
        ++g_failures;
        return;
    }
    const QString file = QStringLiteral("%1/%2-%3.png").arg(g_dir, QLatin1String(kEdition), name);
    const QPixmap pm = w->grab();
    if (pm.isNull() || !pm.save(file)) {
        std::fprintf(stderr, "cannot render %s\n", qPrintable(file));
        ++g_failures;
        return;
    }
    std::printf("%s (%dx%d)\n", qPrintable(file), pm.width(), pm.height());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    g_dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_dir);
    if (!Toolkit::InitResources()) {
        std::fprintf(stderr, "toolkit resources missing\n");
        return 1;
    }
    QApplication::setStyle(new COrviStyle);
    app.setStyleSheet(Toolkit::ApplicationStyleSheet());

    QWidget host;
    host.resize(400, 300);

    // Message box without buttons.
    {
        CWarnDlg dlg(&host);
        dlg.PrepareText(QObject::tr("Information"), QObject::tr("The device list was saved."), false);
        dlg.show();
        shoot(&dlg, QStringLiteral("message"));
    }
    // Confirm box.
    {
        CWarnDlg dlg(&host);
        dlg.PrepareText(QObject::tr("Question"), QObject::tr("Sure to close software?"), true);
        dlg.show();
        shoot(&dlg, QStringLiteral("confirm"));
    }
    // A long, many-line result message.
    {
        CWarnDlg dlg(&host);
        QStringList lines{QObject::tr("Modify network parameters succeeded:")};
        for (int i = 0; i < 6; ++i)
            lines << QStringLiteral("DS-2CD20%1-ABCDEF-20150701AAWR5123456%1").arg(i);
        lines << QObject::tr("Modify network parameters failed:") << QStringLiteral("DS-7604N-E1-20150701CCWR51234567");
        dlg.PrepareText(QObject::tr("Information"), lines.join(QLatin1Char('\n')), false);
        dlg.show();
        shoot(&dlg, QStringLiteral("message-long"));
    }
    // A base dialog with some content.
    {
#ifndef TOOLKIT_PLUGIN_EDITION
        CBaseDialog dlg(&host, true, true, true, true, true);
#else
        CBaseDialog dlg(&host, true, true, true);
#endif
        dlg.SetTitleText(QObject::tr("Modify Network Parameters"));
        dlg.SetCloseBtnVisible(true);
        auto *content = new QWidget;
        auto *form = new QFormLayout(content);
        auto *ip = new CIpLineEdit;
        ip->SetText("192.168.1.64");
        ip->setMinimumSize(150, 24);
        form->addRow(QObject::tr("IPv4 Address:"), ip);
        auto *name = new CValidateLineEdit;
        name->setText(QStringLiteral("Lobby camera"));
        form->addRow(QObject::tr("Name:"), name);
        auto *password = new CPasswordLineEdit;
        password->setText(QStringLiteral("secret"));
        form->addRow(QObject::tr("Password:"), password);
        form->addRow(QObject::tr("Strength:"), new CRankButton);
        auto *bar = new QProgressBar;
        bar->setValue(60);
        bar->setTextVisible(false);
        form->addRow(QObject::tr("Progress:"), bar);
        auto *slider = new QSlider(Qt::Horizontal);
        slider->setValue(30);
        form->addRow(QObject::tr("Volume:"), slider);
        form->addRow(QObject::tr("Search:"), new CSearchLineEdit);
        dlg.SetContentWidget(content);
        dlg.resize(436, 360);
        dlg.show();
        shoot(&dlg, QStringLiteral("basedialog"));
#ifdef TOOLKIT_PLUGIN_EDITION
        CBaseDialog small(&host, false, true, true);
        small.SetTitleText(QObject::tr("Activate"));
        small.SetCloseBtnVisible(true);
        small.SetContentWidget(new QLabel(QObject::tr("A dialog in the small skin.")));
        small.resize(300, 160);
        small.show();
        shoot(&small, QStringLiteral("basedialog-small"));
#endif
    }
    // A filled address field on its own.
    {
        QWidget panel;
        auto *layout = new QVBoxLayout(&panel);
        auto *ip = new CIpLineEdit;
        ip->setAttribute(Qt::WA_DeleteOnClose, false);
        ip->SetText("10.16.254.1");
        ip->setFixedSize(160, 26);
        layout->addWidget(ip);
        auto *empty = new CIpLineEdit;
        empty->setFixedSize(160, 26);
        layout->addWidget(empty);
        panel.show();
        shoot(&panel, QStringLiteral("iplineedit"));
    }
    // The information popup.
    {
        CInformationDlg::ShowInformationAtScreenRightBottom(QObject::tr("Export finished."), &host, false);
        shoot(CInformationDlg::Current(), QStringLiteral("information"));
        CInformationDlg::ShowInformationAtScreenRightBottom(QStringLiteral("/home/user/export/devices.xls"), &host,
                                                            true);
        shoot(CInformationDlg::Current(), QStringLiteral("information-path"));
        CInformationDlg::Current()->close();
    }
    // A tool tip and a tab bar.
    {
        QWidget w;
        w.show();
        // Let activation settle first: it hides any tip.
        settle();
        CToolLabel::ShowText(QPoint(100, 100),
                             QObject::tr("Input cannot contain any of the following characters:")
                                 + QStringLiteral("\n / \\ : * ? \" < > |"),
                             &w);
        shoot(CToolLabel::Instance(), QStringLiteral("tooltip"));
        QTabBar tabs;
        tabs.addTab(QIcon(QStringLiteral(":images/Tab/TBX_ZELT.png")), QObject::tr("TBX-ZELT"));
        tabs.addTab(QIcon(QStringLiteral(":images/Tab/STOR.png")), QObject::tr("TBX-STOR"));
        tabs.setTabsClosable(true);
        tabs.show();
        shoot(&tabs, QStringLiteral("tabs"));
    }
    return g_failures == 0 ? 0 : 1;
}
