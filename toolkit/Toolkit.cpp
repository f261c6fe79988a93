#include "Toolkit.h"

#include <QFile>

#include <QWidget>
#include <QWindow>

namespace Toolkit {

bool InitResources()
{
    // The resource objects register themselves at load time; this only
    // checks that they made it into the binary.
    return QFile::exists(QStringLiteral(":/Orvi/Qss/Qss/TBX.qss"))
           && QFile::exists(QStringLiteral(":/images/title/close.png"));
}

QString ApplicationStyleSheet()
{
    QString sheet;
    static const char *const names[] = {"TBX.qss"};
    for (const char *name : names) {
        QFile f(QStringLiteral(":/Orvi/Qss/Qss/") + QLatin1String(name));
        if (f.open(QIODevice::ReadOnly))
            sheet += QString::fromLatin1(f.readAll());
    }
    return sheet;
}

bool StartSystemMove(QWidget *pWidget)
{
    QWidget *window = pWidget ? pWidget->window() : nullptr;
    QWindow *handle = window ? window->windowHandle() : nullptr;
    return handle && handle->startSystemMove();
}

} // namespace Toolkit
