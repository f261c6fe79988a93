#include "CZeltQuestion.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QTextBrowser>

#include "Buttons.h"
#include "CWarnDlg.h"

CZeltQuestion::CZeltQuestion(CWarnDlg *dlg) : QObject(dlg) {}

bool CZeltQuestion::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select) {
            static_cast<QDialog *>(parent())->reject();
            return true;
        }
    }
    return QObject::eventFilter(watched, e);
}

QString CZeltQuestion::DeviceLines(const QList<std::pair<QString, QString>> &devices)
{
    QString text;
    const qsizetype listed = devices.size() > kListed + 1 ? kListed : devices.size();
    for (qsizetype i = 0; i < listed; ++i)
        text += QLatin1Char('\n')
                + QCoreApplication::translate("QtZelt", "ID %1   %2").arg(devices.at(i).first, devices.at(i).second);
    if (listed < devices.size())
        text += QLatin1Char('\n') + QCoreApplication::translate("QtZelt", "and %1 more").arg(devices.size() - listed);
    return text;
}

void CZeltQuestion::Prepare(CWarnDlg &dlg, const QString &strTitle, const QString &strText)
{
    dlg.ConfirmButton()->setText(QCoreApplication::translate("QtZelt", "Yes"));
    dlg.CancelButton()->setText(QCoreApplication::translate("QtZelt", "No"));
    // Key presses reach the box from whichever of its widgets has the focus:
    // the filter sits on each.
    auto *filter = new CZeltQuestion(&dlg);
    dlg.installEventFilter(filter);
    for (QWidget *w : dlg.findChildren<QWidget *>())
        w->installEventFilter(filter);
    dlg.CancelButton()->setDefault(true);
    dlg.CancelButton()->setFocus();
    dlg.PrepareText(strTitle, strText, true);
    // While hidden, the box grows for its text once per measurement without
    // laying itself out in between, so a list of devices made it several
    // times too tall: lay it out, give back what the text does not need
    // (the box keeps 30 pixels below the text as it does when it grows).
    QLayout *layout = dlg.layout();
    layout->invalidate();
    layout->activate();
    const int spare = dlg.GetContentFrame()->height() - (dlg.Browser()->height() + 30);
    if (spare > 0 && dlg.height() - spare >= CWarnDlg::kFixedHeight) {
        dlg.setFixedHeight(dlg.height() - spare);
        layout->invalidate();
        layout->activate();
    }
}
