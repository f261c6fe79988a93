#pragma once
// Answers the plug-in's modal message boxes from a timer and keeps what
// they said: the real CWarnDlg is shown and read, never bypassed.

#include <QApplication>
#include <QKeyEvent>
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
    // Instead: Return pressed on the box itself, as when none of its
    // buttons has the focus (the box's default answer); `answer` only if
    // the box stays open.
    bool byReturnKey = false;
    QList<ShownMessage> shown;

    DialogCatcher()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }

    void clear() { shown.clear(); }
    // How many boxes came with this title.
    int count(const QString &title) const
    {
        int n = 0;
        for (const ShownMessage &m : shown)
            n += m.title == title ? 1 : 0;
        return n;
    }
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
            if (byReturnKey) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QCoreApplication::sendEvent(dlg, &press);
                if (dlg->isVisible()) // the key did nothing: the box gets `answer`
                    dlg->done(answer);
            } else {
                dlg->done(answer);
            }
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
