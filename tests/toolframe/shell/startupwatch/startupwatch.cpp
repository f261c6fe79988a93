// A generic Qt plug-in for start-up tests, loaded into the real program
// through QT_QPA_GENERIC_PLUGINS. It prints one stdout line per top-level
// window shown ("window <class>", and "window <class> exceeds the screen:
// ..." when its screen's available area does not hold it) and answers each
// message box by closing it ("box <title><TAB><text>"), so a program
// stopped at a modal box ends instead of waiting for a user.
#include <QApplication>
#include <QEvent>
#include <QGenericPlugin>
#include <QPointer>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>

#include <cstdio>

#include "CTitleWidget.h"

namespace {
void report(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
} // namespace

class StartupWatch : public QObject
{
public:
    StartupWatch() { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() != QEvent::Show || !o->isWidgetType())
            return false;
        auto *w = static_cast<QWidget *>(o);
        if (!w->isWindow())
            return false;
        if (w->inherits("CWarnDlg")) {
            // Answer once the modal run has started.
            QPointer<QWidget> box(w);
            QTimer::singleShot(0, this, [box] {
                if (box)
                    answer(box);
            });
        } else {
            report(QStringLiteral("window ") + QLatin1String(w->metaObject()->className()));
            // A window the screen cannot show whole is reported too.
            const QScreen *s = w->screen();
            if (s && !s->availableGeometry().contains(w->frameGeometry()))
                report(QStringLiteral("window %1 exceeds the screen: %2x%3 at %4,%5, screen %6x%7")
                           .arg(QLatin1String(w->metaObject()->className()))
                           .arg(w->width())
                           .arg(w->height())
                           .arg(w->x())
                           .arg(w->y())
                           .arg(s->availableGeometry().width())
                           .arg(s->availableGeometry().height()));
        }
        return false;
    }

private:
    static void answer(QWidget *box)
    {
        // The toolkit is linked statically into the program, so its types
        // are matched by name; the title is read through the header's inline
        // accessor, which needs no symbol from the program.
        QString title;
        for (QWidget *child : box->findChildren<QWidget *>())
            if (child->inherits("CTitleWidget")) {
                title = static_cast<CTitleWidget *>(child)->GetText();
                break;
            }
        auto *text = box->findChild<QTextBrowser *>(QStringLiteral("m_pBrowserTxt"));
        report(QStringLiteral("box ") + title + QLatin1Char('\t') + (text ? text->toPlainText() : QString()));
        box->close();
    }
};

class StartupWatchPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "startupwatch.json")
public:
    QObject *create(const QString &, const QString &) override { return new StartupWatch; }
};

#include "startupwatch.moc"
