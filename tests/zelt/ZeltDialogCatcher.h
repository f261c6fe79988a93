#pragma once
// Answers the plug-in's modal message boxes from a timer and keeps what
// they said: the real CWarnDlg is shown and read, never bypassed.

#include <QApplication>
#include <QList>
#include <QTextBrowser>
#include <QTimer>

#include "CToolLabel.h"
#include "CWarnDlg.h"

struct ShownMessage {
    QString title;
    QString text;
};

class DialogCatcher : public QObject
{
public:
    // Result given to a box: 1 confirms, 0 cancels.
    int answer = 1;
    QList<ShownMessage> shown;

    DialogCatcher()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }

    void clear() { shown.clear(); }
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
    QString lastTitle() const { return shown.isEmpty() ? QString() : shown.last().title; }

private:
    void Poll()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dlg = qobject_cast<CWarnDlg *>(w);
            if (!dlg || !dlg->isVisible())
                continue;
            shown.append({dlg->GetTitleText(), dlg->Browser()->toPlainText()});
            dlg->done(answer);
        }
    }
    QTimer m_timer;
};

// The text of the tool tip shown at a field, or empty.
inline QString TipAt(QWidget *field)
{
    CToolLabel *tip = CToolLabel::Instance();
    if (!tip || !tip->isVisible() || tip->TipWidget() != field)
        return QString();
    return tip->text();
}

inline void HideTip()
{
    if (CToolLabel *tip = CToolLabel::Instance())
        tip->HideTipImmediately();
}
