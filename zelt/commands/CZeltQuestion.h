#pragma once
// A question whose answer may send something the user would not want sent:
// Yes and No, No the default, and Return or Enter answer No wherever the
// focus is, so that a key pressed out of habit sends nothing.

#include <QObject>
#include <QString>

class CWarnDlg;

class CZeltQuestion : public QObject
{
public:
    // Turns the box into such a question with this title and text; the box
    // is only as tall as its text.
    static void Prepare(CWarnDlg &dlg, const QString &strTitle, const QString &strText);

    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    explicit CZeltQuestion(CWarnDlg *dlg);
};
