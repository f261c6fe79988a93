// A plug-in-like library carrying the plug-in edition of the toolkit. Its
// only export is the C function below, like the real plug-in's entry points.

#include "CBaseDialog.h"
#include "CWarnDlg.h"
#include "Toolkit.h"

#include <QWidget>

extern "C" __attribute__((visibility("default"))) int toolkit_probe(int what)
{
    QWidget parent;
    switch (what) {
    case 0: {
        CBaseDialog dlg;
        return dlg.width();
    }
    case 1: {
        CWarnDlg dlg(&parent);
        dlg.PrepareText(QStringLiteral("T"), QStringLiteral("A long message that goes on and on ").repeated(40), false);
        return dlg.width();
    }
    case 2: return CWarnDlg::ShowMsg(QStringLiteral("T"), QStringLiteral("no parent"), nullptr);
    // Uses the toolkit's own functions too, so the library carries them.
    case 3: return Toolkit::InitResources() ? 1 : 0;
    default: return -100;
    }
}
