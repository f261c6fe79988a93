#pragma once
// A small dialog of the toolkit's style that asks for one text: a title, a
// line that says what to type, the field, OK and Cancel. OK (and Return)
// hands the text to the check; the dialog closes only when the check finds
// nothing wrong, otherwise its message shows at the field and the dialog
// stays. Escape and Cancel close it without a check.

#include <QString>

#include <functional>

#include "CBaseDialog.h"

class QLabel;
class QLineEdit;

class CZeltFieldDialog : public CBaseDialog
{
    Q_OBJECT
public:
    // What the check finds wrong with a text, translated; empty: nothing.
    using Check = std::function<QString(const QString &strText)>;

    // strFieldName: the field's object name; strAccessibleName: what a
    // screen reader calls it. bSecret: the text is a password (not shown,
    // no clipboard shortcuts).
    CZeltFieldDialog(QWidget *parent, const QString &strFieldName, const QString &strAccessibleName, bool bSecret);

    void SetTexts(const QString &strTitle, const QString &strPrompt);
    void SetCheck(Check check) { m_check = std::move(check); }
    QLineEdit *Field() const { return m_pField; }
    QString Text() const;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void Confirm();

    QLabel *m_pPrompt;
    QLineEdit *m_pField;
    Check m_check;
};
