// The page table: the rows the control panel lists and from which the page
// frame takes tab texts and icons.
#pragma once

#include <QList>
#include <QString>

struct PageTableRow {
    QString strName;      // shown through translation, context "TBX"
    QString strPanelIcon; // under ":/images/ControlPanel/"
    QString strHoverIcon; // carried, never shown
    QString strTabText;   // shown through translation, context "TBX"
    QString strTabIcon;   // under ":images/Tab/"
    int iPageType;        // -1 ends the table
    int iGroup;
};

namespace PageTable {

// The rows for the current language, ending with the end row (type -1).
QList<PageTableRow> Rows();
// Empty for a type that is not listed.
QString TabText(int iPageType);
QString TabIcon(int iPageType);
// The description shown when the pointer is over a tool (translated).
QString Description(int iPageType);

} // namespace PageTable
