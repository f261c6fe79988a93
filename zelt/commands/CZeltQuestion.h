#pragma once
// A question whose answer may send something the user would not want sent:
// Yes and No, No the default, and Return or Enter answer No wherever the
// focus is, so that a key pressed out of habit sends nothing.

#include <QList>
#include <QObject>
#include <QString>

#include <utility>

class CWarnDlg;

class CZeltQuestion : public QObject
{
public:
    // Turns the box into such a question with this title and text; the box
    // is only as tall as its text.
    static void Prepare(CWarnDlg &dlg, const QString &strTitle, const QString &strText);

    // The devices a question names, a line each ("ID 004   10.0.0.4"), up
    // to kListed of them and then how many more (never "and 1 more": the
    // last one fits where that line would go).
    static QString DeviceLines(const QList<std::pair<QString, QString>> &idsAndAddresses);
    static constexpr int kListed = 10;

    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    explicit CZeltQuestion(CWarnDlg *dlg);
};
