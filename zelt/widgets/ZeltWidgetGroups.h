#pragma once
// Widgets of a section shown, hidden, switched on or off together, and
// the tip that tells a field's refusal at the field.

#include <QPoint>
#include <QWidget>

#include "CToolLabel.h"

#include <initializer_list>

inline void Show(std::initializer_list<QWidget *> widgets, bool bOn)
{
    for (QWidget *w : widgets)
        w->setVisible(bOn);
}

inline void Enable(std::initializer_list<QWidget *> widgets, bool bOn)
{
    for (QWidget *w : widgets)
        w->setEnabled(bOn);
}

// The field gets the focus and the text as a tool tip at its top-left corner.
inline void ShowFieldTip(QWidget *field, const QString &strText)
{
    field->setFocus();
    CToolLabel::ShowText(field->mapToGlobal(QPoint(0, 0)), strText, field);
}
