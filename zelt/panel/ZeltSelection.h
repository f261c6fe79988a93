#pragma once
// The table's selection as an action finds it: the current row and the
// selected rows in the order they were selected.

#include <QModelIndex>
#include <QModelIndexList>

struct ZeltSelection {
    QModelIndex current;
    QModelIndexList rows;
};
