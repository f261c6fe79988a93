// "Save as Excel": the device table into a workbook, through PathWidget.

#include "QtZelt.h"

#include "PathWidget.h"
#include "QtZeltItemModel.h"

void QtZelt::saveExcel()
{
    PathWidget dlg(m_pModel, nullptr, QtZeltItemModel::ExportedColumns());
    dlg.exec();
}
