// Times "Save as Excel" for 10,000 devices through the whole path: the
// panel's model, PathWidget::onConfirm, QODBC, unixODBC and the workbook
// driver. Prints the milliseconds.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <cstdio>

#include "CPathComboBox.h"
#include "CWarnDlg.h"
#include "PathWidget.h"
#include "QtZeltItemModel.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI"))
        qputenv("ODBCSYSINI", ZELT_ODBCSYSINI);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? atoi(argv[1]) : 10000;

    QtZeltItemModel model;
    model.setRowCount(rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < QtZeltItemModel::ColumnCount; ++c)
            model.setItem(r, c,
                          new QStandardItem(c == 0 ? QString::asprintf("%03d", r + 1)
                                                   : QStringLiteral("value %1.%2").arg(r).arg(c)));

    QTemporaryDir dir;
    QString message;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<CWarnDlg *>(w); d && d->isVisible()) {
                message = d->Browser()->toPlainText();
                d->done(1);
            }
    });
    closer.start(1);

    PathWidget dlg(&model, nullptr, QtZeltItemModel::ExportedColumns());
    dlg.FolderBox()->clear();
    // A second argument keeps the workbook in that folder (for a look with
    // another reader).
    dlg.FolderBox()->addItem(argc > 2 ? QString::fromLocal8Bit(argv[2]) + "/" : dir.path() + "/");
    dlg.NameField()->setText("bench");
    QElapsedTimer t;
    t.start();
    dlg.onConfirm();
    const qint64 ms = t.elapsed();
    std::printf("zelt_excel_bench: %d rows x %d columns: %lld ms (%s)\n", rows,
                int(QtZeltItemModel::ExportedColumns().size()), static_cast<long long>(ms), qPrintable(message));
    return message == QLatin1String("Saved.") ? 0 : 1;
}
