#include "CPathComboBox.h"

CPathComboBox::CPathComboBox(QWidget *parent)
    : QComboBox(parent)
{
}

void CPathComboBox::SetMode(int iMode)
{
    m_iMode = iMode;
    setToolTip(currentText());
}
