#pragma once
// Item roles the plug-in's table view reads: editors, buttons and links
// follow them.

#include <Qt>

namespace TableRole {
enum : int {
    CheckState = Qt::CheckStateRole, // 10
    ComboList = 134,                 // list of (text, icon) pairs: combo-box editor
    Button = 135,                    // bool: the cell behaves as a button
    DateTime = 138,                  // QDateTime: date-time editor
    Date = 139,                      // QDate: date editor
    RegExp = 153,                    // QString pattern of allowed input
    MaxLength = 154,                 // int: maximum length of input
    Flags = 31,                      // int; bit 1 marks a link cell
};
}
