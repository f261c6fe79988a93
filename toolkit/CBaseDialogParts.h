// Widgets both editions of CBaseDialog build the same way.
#pragma once

#include "Buttons.h"

#include <QString>

namespace BaseDialogParts {

inline CPushButton *makeTitleButton(QWidget *parent, const char *name)
{
    auto *b = new CPushButton(parent);
    b->setObjectName(QLatin1String(name));
    // The keyboard reaches it; a click leaves the focus where it was.
    b->setFocusPolicy(Qt::TabFocus);
    b->setIconSize(QSize(20, 20));
    b->setText(QString());
    return b;
}

inline CPushButton *makeBottomButton(QWidget *parent, const char *name, const QString &text, int minWidth)
{
    auto *b = new CPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumSize(minWidth, 24);
    // Return belongs to the dialog (it confirms), never to a focused button.
    b->setAutoDefault(false);
    return b;
}

} // namespace BaseDialogParts
