// The About box of the shell and (plug-in edition) of the device-search tool.
#pragma once

#include "CBaseDialog.h"

class QLabel;
class QPushButton;

class CDlgAbout : public CBaseDialog
{
    Q_OBJECT
public:
    explicit CDlgAbout(QWidget *parent = nullptr);

    QLabel *NameLabel() const { return m_pNameLabel; }
    QLabel *VersionLabel() const { return m_pVersionLabel; }
    QPushButton *OkButton() const { return m_pOkBtn; }

private:
    QLabel *m_pNameLabel = nullptr;    // label_4
    QLabel *m_pVersionLabel = nullptr; // pLabelAboutTBX / pLabelAbout
    QPushButton *m_pOkBtn = nullptr;
};
