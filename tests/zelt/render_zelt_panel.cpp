// Renders the panel in the states worth looking at into PNG files:
//   render_zelt_panel OUTDIR [zh]
// (offscreen or under xvfb-run). Not a test.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <functional>

#include <cstring>
#include <utime.h>

#include "Buttons.h"
#include "CFileDialog.h"
#include "CPathComboBox.h"
#include "CTableView.h"
#include "CToolLabel.h"
#include "CWarnDlg.h"
#include "PathWidget.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "COrviStyle.h"
#include "Toolkit.h"
#include "CZeltBatchRunner.h"
#include "ZeltTestSupport.h"
#include "CZeltConsent.h"
#include "CZeltFieldDialog.h"
#include "CZeltProgressDialog.h"
#include "ZeltTrust.h"
#include "zelt_sdk.h"

namespace {
bool NoModify(const char *, const char *, const char *, const char *, const char *, const char *, const char *,
              const char *, const char *, unsigned char, unsigned char)
{
    return true;
}
bool NoRefresh()
{
    return true;
}

QString g_out;
CTableView *tableView(QWidget *panel)
{
    return panel->findChild<CTableView *>("tableWidgetDevice");
}
void Save(QWidget *w, const QString &name)
{
    QApplication::processEvents();
    w->grab().save(g_out + "/" + name + ".png");
}
// The widget and the toolkit's tool tip as they show on the screen (the
// tip is a window of its own and may reach past the widget).
void SaveWithTip(QWidget *w, const QString &name)
{
    QApplication::processEvents();
    const QRect at(w->mapToGlobal(QPoint(0, 0)), w->size());
    CToolLabel *tip = CToolLabel::Instance();
    const QRect tipAt = tip && tip->isVisible() ? tip->geometry() : QRect();
    const QRect all = at.united(tipAt);
    QPixmap shot(all.size());
    shot.fill(Qt::white);
    QPainter p(&shot);
    p.drawPixmap(at.topLeft() - all.topLeft(), w->grab());
    if (!tipAt.isNull())
        p.drawPixmap(tipAt.topLeft() - all.topLeft(), tip->grab());
    p.end();
    shot.save(g_out + "/" + name + ".png");
}
// Steps on a dialog the panel runs modally, once it shows.
void WhenShown(const char *name, std::function<void(CZeltFieldDialog *)> steps)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, name, steps] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dlg = qobject_cast<CZeltFieldDialog *>(w);
            if (dlg && dlg->isVisible() && dlg->findChild<QLineEdit *>(QLatin1String(name))) {
                poll->stop();
                poll->deleteLater();
                steps(dlg);
                dlg->reject();
                return;
            }
        }
    });
    poll->start(10);
}
} // namespace

int main(int argc, char **argv)
{
    // Ranges of the user's own stay out of the pictures.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    // The shell's look: its style and style sheet.
    QApplication::setStyle(new COrviStyle);
    app.setStyleSheet(Toolkit::ApplicationStyleSheet());
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_out);
    QTranslator tr;
    if (argc > 2 && QByteArray(argv[2]) == "zh") {
        if (tr.load(QString::fromLocal8Bit(qgetenv("TOOLBAY_BIN_DIR")) + "/translations/ZELT_zh.qm"))
            app.installTranslator(&tr);
    }

    QWidget host;
    auto *layout = new QGridLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *panel = new QtZelt(&host, &NoModify, nullptr, &NoRefresh);
    layout->addWidget(panel);
    host.resize(1280, 900);
    host.show();

    // Rows 4 to 8 show the trust levels other than verified.
    const uint8_t trust[] = {ZELT_TRUST_VERIFIED,    ZELT_TRUST_VERIFIED,  ZELT_TRUST_VERIFIED,
                             ZELT_TRUST_UNCERTIFIED, ZELT_TRUST_AMBIGUOUS, ZELT_TRUST_PINNED,
                             ZELT_TRUST_UNCERTIFIED, ZELT_TRUST_UNTRUSTED, ZELT_TRUST_VERIFIED};
    const int devices = int(sizeof trust);
    for (int i = 1; i <= devices; ++i) {
        ZELT_DEVICE_EVENT ev = ZeltTest::MakeEvent(1, i);
        if (i == 2)
            ev.byActivated = 1;
        if (i == 3)
            ev.bySupport = 0x40 | 0x07;
        ev.byTrust = trust[i - 1];
        if (i == 4) { // its clock measured: a line of the row's tool tip
            ev.byClockKnown = 1;
            ev.iClockOffset = 200;
        }
        panel->HandleEvent(ev);
    }
    for (int n = 0; n < 50 && panel->Model()->rowCount() < devices; ++n)
        QApplication::processEvents();

    CTableView *table = panel->findChild<CTableView *>("tableWidgetDevice");
    auto select = [&](const QList<int> &rows) {
        table->selectionModel()->clearSelection();
        for (int r : rows)
            table->selectionModel()->select(panel->Model()->index(r, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table->selectionModel()->setCurrentIndex(panel->Model()->index(rows.last(), 0), QItemSelectionModel::NoUpdate);
        panel->OnDeviceTableClicked(panel->Model()->index(rows.last(), 0));
    };

    select({1});
    const char *levels[] = {"", "a", "abcd1234", "ABCDabcd", "Abcd1234"};
    for (int i = 0; i < 5; ++i) {
        panel->findChild<QLineEdit *>("edtNewPassword")->setText(levels[i]);
        panel->findChild<QLineEdit *>("edtConfirmPassword")->setText(levels[i]);
        Save(panel, QStringLiteral("inactive_level%1").arg(i));
    }
    select({2});
    Save(panel, "reset_capable");
    select({0});
    Save(panel, "single_active");
    select({3, 4, 5});
    Save(panel, "run_of_three");

    // A field tool tip, painted onto the panel where it shows.
    select({0});
    panel->findChild<QLineEdit *>("lineEditIPMask")->setText("255.255.255.255");
    panel->OnModifyNetPara(); // refused at the mask: a tool tip, no message
    QApplication::processEvents();
    QPixmap shot = panel->grab();
    if (CToolLabel *tip = CToolLabel::Instance()) {
        QPainter p(&shot);
        p.drawPixmap(panel->mapFromGlobal(tip->pos()), tip->grab());
    }
    shot.save(g_out + "/field_tooltip.png");

    // The table's trust column with a tool tip, and the wide column.
    {
        select({3});
        QPixmap table = panel->grab();
        const QModelIndex cell = panel->Model()->index(3, QtZeltItemModel::ColTrust);
        const QRect r = table.isNull() ? QRect() : tableView(panel)->visualRect(cell);
        QLabel tip(cell.data(Qt::ToolTipRole).toString());
        tip.setStyleSheet("QLabel { background: #ffffdc; border: 1px solid #767676; padding: 2px; }");
        tip.adjustSize();
        QPainter p(&table);
        const QPoint at = tableView(panel)->viewport()->mapTo(panel, r.bottomRight() + QPoint(4, 6));
        p.drawPixmap(at, tip.grab());
        p.end();
        table.save(g_out + "/trust_column.png");
        tableView(panel)->setColumnWidth(QtZeltItemModel::ColTrust, 120);
        Save(panel, "trust_column_wide");
        tableView(panel)->setColumnWidth(QtZeltItemModel::ColTrust,
                                         QtZeltItemModel::ColumnWidth(QtZeltItemModel::ColTrust));
    }

    // The question before a secret goes to devices that cannot prove who
    // they are: a run of 14 with 12 of them, and one device alone.
    {
        ZELT_DEVICE_INFO_MY d;
        std::memset(&d, 0, sizeof d);
        d.byTrust = ZELT_TRUST_UNCERTIFIED;
        CZeltConsent many, one;
        for (int i = 1; i <= 12; ++i) {
            ZeltRecords::putText(d.szIPv4Address, QByteArray("192.168.1.") + QByteArray::number(100 + i));
            many.Add(QString::asprintf("%03d ", i + 2), d);
        }
        one.Add("004 ", d);
        CWarnDlg askMany(panel), askOne(panel);
        many.Prepare(askMany, QCoreApplication::translate("QtZelt", "Send the password anyway?"), true);
        askMany.show();
        Save(&askMany, "consent_run");
        askMany.hide();
        one.Prepare(askOne, QCoreApplication::translate("QtZelt", "Send the security code anyway?"), false);
        askOne.show();
        Save(&askOne, "consent_single");
        askOne.hide();
    }

    // "Add by address or range" as its button opens it, then a text over a
    // /16 refused; the password "Synchronize time" asks for with the
    // field empty.
    WhenShown("lineEditRanges", [](CZeltFieldDialog *dlg) {
        dlg->Field()->setText("10.2.0.0/22, 10.3.0.10-10.3.0.99, fd00:1::/120");
        Save(dlg, "range_dialog");
        dlg->Field()->setText("10.0.0.0/12");
        dlg->ConfirmButton()->click();
        SaveWithTip(dlg, "range_dialog_refused");
        dlg->Field()->setText("camera-7");
        dlg->ConfirmButton()->click();
        SaveWithTip(dlg, "range_dialog_invalid");
        if (CToolLabel *tip = CToolLabel::Instance())
            tip->HideTipImmediately();
    });
    panel->findChild<QPushButton *>("pushButtonAddRange")->click();
    select({0});
    panel->findChild<QLineEdit *>("lineEditPort_Password")->clear();
    WhenShown("lineEditSyncPassword", [](CZeltFieldDialog *dlg) { Save(dlg, "sync_password"); });
    panel->findChild<QPushButton *>("pushButtonSyncTime")->click();

    CWarnDlg box(panel);
    box.PrepareText(
        QCoreApplication::translate("QtZelt", "Information"),
        QCoreApplication::translate("QtZelt", "Modify network parameter succeed, please reboot your device!")
            + QCoreApplication::translate("QtZelt", "ID:%1").arg("001 002 ")
            + QCoreApplication::translate("QtZelt", "Modify network parameter failed!")
            + QCoreApplication::translate("QtZelt", "ID:%1").arg("004 "),
        false);
    box.show();
    Save(&box, "summary_message");
    box.hide();

    PathWidget save(panel->Model());
    save.NameField()->setText("devices");
    save.show();
    Save(&save, "save_dialog");

    // The progress dialog of a run, while it works and after Cancel, alone
    // and over the panel.
    CZeltProgressDialog progress(panel);
    progress.SetTitle(QCoreApplication::translate("QtZelt", "Modify Network parameters"));
    progress.SetProgress(37, 120);
    progress.SetCurrentDevice("038   ZC-100038   10.0.0.38");
    progress.show();
    Save(&progress, "progress_dialog");
    {
        QPixmap over = panel->grab();
        QPainter p(&over);
        p.fillRect(over.rect(), QColor(0, 0, 0, 60));
        const QPixmap dlg = progress.grab();
        p.drawPixmap((over.width() - dlg.width()) / 2, (over.height() - dlg.height()) / 3, dlg);
        over.save(g_out + "/progress_over_panel.png");
    }
    progress.SetStopping();
    Save(&progress, "progress_stopping");
    progress.Finish();

    // A folder of fixed contents and times, so that two runs show the same.
    const QString start = QDir::tempPath() + "/zelt-render-chooser";
    for (const char *sub : {"exports", "keys"}) {
        QDir().mkpath(start + "/" + sub);
        const utimbuf stamp{1796112000, 1796112000}; // 2026-12-01 08:00 UTC
        ::utime(QFile::encodeName(start + "/" + sub).constData(), &stamp);
    }
    CFileDialog chooser(panel, QCoreApplication::translate("CPathComboBox", "Select Directory"), start, QString(),
                        QFileDialog::Directory, QFileDialog::AcceptOpen);
    chooser.show();
    Save(&chooser, "folder_chooser");
    return 0;
}
