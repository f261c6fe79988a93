// "Save as Excel" through the whole path: a model, PathWidget::onConfirm,
// QODBC, unixODBC and the workbook driver; read back with xlrd.

#include <QAbstractTableModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include "Buttons.h"
#include "CPathComboBox.h"
#include "PathWidget.h"
#include "QtZelt.h"
#include "QtZeltItemModel.h"
#include "ZeltDialogCatcher.h"
#include "ZeltTestSupport.h"
#include "xlsreader.h"
#include "zelt_sdk.h"

namespace {
// Many rows without many items.
class CountingModel : public QAbstractTableModel
{
public:
    explicit CountingModel(int rows) : m_rows(rows) {}
    int rowCount(const QModelIndex & = {}) const override { return m_rows; }
    int columnCount(const QModelIndex & = {}) const override { return 3; }
    QVariant data(const QModelIndex &i, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(QString::number(i.row() * 10 + i.column())) : QVariant();
    }
    QVariant headerData(int s, Qt::Orientation o, int role) const override
    {
        return o == Qt::Horizontal && role == Qt::DisplayRole ? QVariant(QStringLiteral("C%1").arg(s)) : QVariant();
    }

private:
    int m_rows;
};

// Removes a folder while its last cell is read, that is after the workbook
// was opened and before it is written out.
class FolderPullingModel : public CountingModel
{
public:
    FolderPullingModel(int rows, const QString &folder) : CountingModel(rows), m_folder(folder) {}
    QVariant data(const QModelIndex &i, int role) const override
    {
        if (i.row() == rowCount() - 1 && i.column() == 1)
            QDir(m_folder).removeRecursively();
        return CountingModel::data(i, role);
    }

private:
    QString m_folder;
};

QStandardItemModel *DeviceLikeModel(int rows)
{
    auto *m = new QStandardItemModel(rows, 4);
    m->setHorizontalHeaderLabels({"ID", QString::fromUtf8("设备类型"), "IPv4 Address", "New"});
    for (int r = 0; r < rows; ++r) {
        m->setItem(r, 0, new QStandardItem(QString::asprintf("%03d", r + 1)));
        m->setItem(r, 1, new QStandardItem(QString::fromUtf8("网络摄像机 %1").arg(r)));
        m->setItem(r, 2, new QStandardItem(QStringLiteral("10.0.0.%1").arg(r + 1)));
        m->setItem(r, 3, new QStandardItem("hidden column"));
    }
    return m;
}
} // namespace

class ZeltExcelTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    DialogCatcher *m_msgs = nullptr;

    // Runs one export in a dialog as the user would fill it; returns the
    // dialog's result (Accepted only after "Saved.").
    int Export(QAbstractItemModel *model, const QString &folder, const QString &name)
    {
        PathWidget dlg(model);
        dlg.FolderBox()->clear();
        dlg.FolderBox()->addItem(folder);
        dlg.NameField()->setText(name);
        dlg.show();
        dlg.onConfirm();
        const int result = dlg.result();
        dlg.hide();
        return result;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QSqlDatabase::isDriverAvailable("QODBC"), "the QODBC plugin is missing");
        m_msgs = new DialogCatcher;
    }
    void cleanupTestCase() { delete m_msgs; }
    void init()
    {
        m_msgs->clear();
        m_msgs->answer = 1;
        HideTip();
    }

    void dialogShape()
    {
        QStandardItemModel model;
        PathWidget dlg(&model);
        QCOMPARE(dlg.size(), QSize(320, 240));
        QCOMPARE(dlg.GetTitleText(), QString("Save"));
        QCOMPARE(dlg.FolderBox()->Mode(), int(CPathComboBox::Folder));
        QVERIFY(dlg.findChild<QLineEdit *>("edtName"));
        QVERIFY(dlg.findChild<QWidget *>("PathWidget"));
    }

    void nameChecks()
    {
        QStandardItemModel model(1, 2);
        for (const char *bad : {"", "   ", "a/b", "a\\b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b"}) {
            PathWidget dlg(&model);
            dlg.FolderBox()->addItem(m_dir.path() + "/");
            dlg.NameField()->setText(bad);
            dlg.show();
            dlg.FolderBox()->setFocus(); // the user last worked in the folder box
            QCOMPARE(dlg.focusWidget(), static_cast<QWidget *>(dlg.FolderBox()));
            dlg.onConfirm();
            QCOMPARE(dlg.focusWidget(), static_cast<QWidget *>(dlg.NameField()));
            const QString expected = QString(bad).trimmed().isEmpty() ? "The name is invalid"
                                                                      : "The name contains illegal character";
            QCOMPARE(TipAt(dlg.NameField()), expected);
            QCOMPARE(dlg.result(), 0);
            QVERIFY(dlg.isVisible()); // stays open for a correction
            QVERIFY(m_msgs->shown.isEmpty());
        }
        QVERIFY(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
    }

    void exportReadsBackWithXlrd()
    {
        QScopedPointer<QStandardItemModel> model(DeviceLikeModel(5));
        const QString folder = m_dir.path() + "/";
        // A leading blank passes the check and is kept in the name.
        QCOMPARE(Export(model.data(), folder, QString::fromUtf8(" 设备表")), int(QDialog::Accepted));
        QCOMPARE(m_msgs->lastTitle(), QString("Hint"));
        QCOMPARE(m_msgs->lastText(), QString("Saved."));
        QCOMPARE(PathWidget::LastFolder(), folder);

        const QString path = folder + QString::fromUtf8(" 设备表.xls");
        QVERIFY(QFile::exists(path));
        const XlsReadResult read = readXls(path);
        QVERIFY2(read.ok, qPrintable(read.error));
        QCOMPARE(read.sheets().size(), 1);
        QCOMPARE(read.sheet(0).value("name").toString(), QString::fromUtf8(" 设备表"));
        QVERIFY(read.sheet(0).value("textOnly").toBool());
        const QList<QStringList> rows = xlsRows(read.sheet(0));
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows[0], (QStringList{"ID", QString::fromUtf8("设备类型"), "IPv4 Address"})); // not the last
        QCOMPARE(rows[1], (QStringList{"001", QString::fromUtf8("网络摄像机 0"), "10.0.0.1"}));
        QCOMPARE(rows[5], (QStringList{"005", QString::fromUtf8("网络摄像机 4"), "10.0.0.5"}));

        // Brackets are legal in a file name; the sheet takes the name with
        // the characters a sheet name cannot hold replaced.
        m_msgs->clear();
        QCOMPARE(Export(model.data(), folder, "list]1[a"), int(QDialog::Accepted));
        const XlsReadResult odd = readXls(folder + "list]1[a.xls");
        QVERIFY2(odd.ok, qPrintable(odd.error));
        QCOMPARE(odd.sheet(0).value("name").toString(), QString("list_1_a"));
        QCOMPARE(xlsRows(odd.sheet(0)).size(), 6);
    }

    void replaceQuestion()
    {
        QScopedPointer<QStandardItemModel> model(DeviceLikeModel(2));
        const QString folder = m_dir.path() + "/";
        const QString path = folder + "twice.xls";
        QCOMPARE(Export(model.data(), folder, "twice"), int(QDialog::Accepted));
        const QByteArray first = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(!first.isEmpty());

        // Declined: nothing written, dialog stays.
        m_msgs->clear();
        m_msgs->answer = 0;
        QScopedPointer<QStandardItemModel> bigger(DeviceLikeModel(7));
        QCOMPARE(Export(bigger.data(), folder, "twice"), 0);
        QCOMPARE(m_msgs->shown.size(), 1);
        QCOMPARE(m_msgs->lastTitle(), QString("Hint"));
        QCOMPARE(m_msgs->lastText(), QString("The file name has been used; replace it?"));
        QCOMPARE(xlsRows(readXls(path).sheet(0)).size(), 3);

        // Confirmed: replaced, and a second export in the same run works.
        m_msgs->clear();
        m_msgs->answer = 1;
        QCOMPARE(Export(bigger.data(), folder, "twice"), int(QDialog::Accepted));
        QCOMPARE(m_msgs->lastText(), QString("Saved."));
        QCOMPARE(xlsRows(readXls(path).sheet(0)).size(), 8);
        QCOMPARE(QDir(folder).entryList({"twice*"}, QDir::Files), QStringList({"twice.xls"}));

        // Confirmed, but the new workbook cannot be written: the old one
        // is still there, unchanged.
        const QByteArray second = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        m_msgs->clear();
        CountingModel tooBig(PathWidget::kMaxRows + 1);
        QCOMPARE(Export(&tooBig, folder, "twice"), 0);
        QCOMPARE(m_msgs->lastText(), QString("Saving failed."));
        QFile again(path);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), second);
        QCOMPARE(QDir(folder).entryList({"twice*"}, QDir::Files), QStringList({"twice.xls"}));
    }

    // A folder that carries the workbook's name is not a workbook to
    // replace: nothing is asked, moved or written.
    void folderOfTheWorkbooksNameIsRefused()
    {
        QScopedPointer<QStandardItemModel> model(DeviceLikeModel(2));
        const QString folder = m_dir.path() + "/";
        QVERIFY(QDir().mkpath(folder + "books.xls/inside"));
        QCOMPARE(Export(model.data(), folder, "books"), 0);
        QCOMPARE(m_msgs->shown.size(), 1);
        QCOMPARE(m_msgs->lastTitle(), QString("Warn"));
        QCOMPARE(m_msgs->lastText(), QString("Saving failed."));
        QVERIFY(QFileInfo(folder + "books.xls").isDir());
        QVERIFY(QFileInfo(folder + "books.xls/inside").isDir());
        QCOMPARE(QDir(folder).entryList({"books*"}, QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"books.xls"}));
    }

    void emptyTableGivesHeaderOnly()
    {
        QScopedPointer<QStandardItemModel> model(DeviceLikeModel(0));
        QCOMPARE(Export(model.data(), m_dir.path() + "/", "empty"), int(QDialog::Accepted));
        const XlsReadResult read = readXls(m_dir.filePath("empty.xls"));
        QVERIFY2(read.ok, qPrintable(read.error));
        const QList<QStringList> rows = xlsRows(read.sheet(0));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].size(), 3);
    }

    void emptyFolderMeansWorkingFolder()
    {
        QTemporaryDir cwd;
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        QScopedPointer<QStandardItemModel> model(DeviceLikeModel(1));
        const int result = Export(model.data(), QString(), "here");
        QDir::setCurrent(old);
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(QFile::exists(cwd.filePath("here.xls")));
    }

    // Separators of the connection string in the name or the folder stay
    // part of the path: "report;DBQ=other" is written under its own name in
    // its folder, and a workbook "other.xls" in the working folder is
    // neither replaced nor asked about.
    void connectionSeparatorsStayInThePath()
    {
        QTemporaryDir cwd;
        QFile other(cwd.filePath("other.xls"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("keep me");
        other.close();
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        QScopedPointer<QStandardItemModel> model(DeviceLikeModel(2));
        const QString folder = m_dir.path() + "/a;b=c}d/";
        QVERIFY(QDir().mkpath(folder));
        const QStringList names{"report;DBQ=other", "x};DBQ=other", "{braced}"};
        QList<int> results;
        for (const QString &name : names)
            results << Export(model.data(), folder, name);
        QDir::setCurrent(old);
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(results.at(i), int(QDialog::Accepted));
            const XlsReadResult read = readXls(folder + names.at(i) + ".xls");
            QVERIFY2(read.ok, qPrintable(names.at(i) + ": " + read.error));
            QCOMPARE(xlsRows(read.sheet(0)).size(), 3);
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), names.size());
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("keep me"));
        QCOMPARE(QDir(cwd.path()).entryList(QDir::Files), QStringList{"other.xls"});
        QCOMPARE(m_msgs->count("Hint"), names.size()); // "Saved." each time, never the replace question
    }

    void tooManyRowsLeaveNoFile()
    {
        CountingModel model(PathWidget::kMaxRows + 1);
        QCOMPARE(Export(&model, m_dir.path() + "/", "huge"), 0);
        QCOMPARE(m_msgs->lastTitle(), QString("Warn"));
        QCOMPARE(m_msgs->lastText(), QString("Saving failed."));
        QVERIFY(!QFile::exists(m_dir.filePath("huge.xls")));
    }

    void folderThatCannotHoldTheFileFails()
    {
        QScopedPointer<QStandardItemModel> model(DeviceLikeModel(1));
        QFile plain(m_dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QCOMPARE(Export(model.data(), m_dir.filePath("plain") + "/", "nowhere"), 0);
        QCOMPARE(m_msgs->lastTitle(), QString("Warn"));
        QCOMPARE(m_msgs->lastText(), QString("Saving failed."));
        // The next export, to a good folder, works.
        m_msgs->clear();
        QCOMPARE(Export(model.data(), m_dir.path() + "/", "goodagain"), int(QDialog::Accepted));
    }

    // The workbook is written when the connection closes; a failure there
    // is a failed save, not "Saved.".
    void writeFailureAtCloseIsReported()
    {
        const QString folder = m_dir.filePath("vanishing");
        QVERIFY(QDir().mkpath(folder));
        FolderPullingModel model(3, folder);
        QCOMPARE(Export(&model, folder + "/", "late"), 0);
        QCOMPARE(m_msgs->lastTitle(), QString("Warn"));
        QCOMPARE(m_msgs->lastText(), QString("Saving failed."));
        QVERIFY(!QFile::exists(folder + "/late.xls"));
    }

    void saveAsExcelButtonOfThePanel()
    {
        QWidget host;
        auto *layout = new QGridLayout(&host);
        auto *panel = new QtZelt(&host, nullptr, nullptr, nullptr);
        layout->addWidget(panel);
        host.show();
        const uint8_t trust[] = {ZELT_TRUST_VERIFIED, ZELT_TRUST_UNCERTIFIED, ZELT_TRUST_AMBIGUOUS};
        for (int i = 1; i <= 3; ++i) {
            ZELT_DEVICE_EVENT ev = ZeltTest::MakeEvent(1, 40 + i);
            ev.byTrust = trust[i - 1];
            panel->HandleEvent(ev);
        }
        QTRY_COMPARE(panel->Model()->rowCount(), 3);

        // The dialog is modal: fill and confirm it from a timer, as a user.
        bool sawDialog = false;
        QTimer driver;
        const QString folder = m_dir.path() + "/";
        QObject::connect(&driver, &QTimer::timeout, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dlg = qobject_cast<PathWidget *>(w);
                if (!dlg || !dlg->isVisible() || sawDialog)
                    continue;
                sawDialog = true;
                QCOMPARE(dlg->FolderBox()->currentText(), PathWidget::LastFolder());
                dlg->FolderBox()->clear();
                dlg->FolderBox()->addItem(folder);
                dlg->NameField()->setText("panel");
                QTest::mouseClick(dlg->ConfirmButton(), Qt::LeftButton);
            }
        });
        driver.start(20);
        QTest::mouseClick(panel->findChild<QPushButton *>("btbExcel"), Qt::LeftButton);
        driver.stop();
        QVERIFY(sawDialog);
        QCOMPARE(m_msgs->lastText(), QString("Saved."));

        const XlsReadResult read = readXls(m_dir.filePath("panel.xls"));
        QVERIFY2(read.ok, qPrintable(read.error));
        const QList<QStringList> rows = xlsRows(read.sheet(0));
        QCOMPARE(rows.size(), 4);
        // Every column but the hidden "New", the trust word last.
        const QList<int> exported = QtZeltItemModel::ExportedColumns();
        QCOMPARE(exported.size(), QtZeltItemModel::ColumnCount - 1);
        QCOMPARE(exported.last(), int(QtZeltItemModel::ColTrust));
        QStringList header;
        for (int c : exported)
            header << panel->Model()->headerData(c, Qt::Horizontal).toString();
        while (!header.isEmpty() && header.last().isEmpty())
            header.removeLast();
        QCOMPARE(rows[0], header);
        for (int r = 0; r < 3; ++r) {
            QStringList cells;
            for (int c : exported)
                cells << panel->Model()->index(r, c).data().toString();
            // xlrd reports empty text cells as empty; trailing ones are dropped.
            while (!cells.isEmpty() && cells.last().isEmpty())
                cells.removeLast();
            QStringList got = rows[r + 1];
            for (QString &g : got)
                if (g.isNull())
                    g = QString("");
            for (QString &c : cells)
                if (c.isNull())
                    c = QString("");
            QCOMPARE(got, cells);
        }
        QCOMPARE(rows[0].last(), QString("Trust"));
        QVERIFY(!rows[0].contains("New"));
        QCOMPARE(rows[1].last(), QString("Verified"));
        QCOMPARE(rows[2].last(), QString("Uncertified"));
        QCOMPARE(rows[3].last(), QString("Ambiguous"));
    }
};

QTEST_MAIN(ZeltExcelTest)
#include "tst_zelt_excel.moc"
