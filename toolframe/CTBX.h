// The shell's main window: one page frame under its own title bar.
#pragma once

#include <QMainWindow>

class CBaseDragFrame;
class QVBoxLayout;

class CTBX : public QMainWindow
{
    Q_OBJECT
public:
    CTBX(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    CBaseDragFrame *MainFrame() const { return m_pMainFrame; }

    // The manual's file for a page type in a language; empty when it has none.
    static QString ManualFileName(int iPageType, int iLanguage);
    // Opens the manual of a page type; false when there is none or it cannot be opened.
    static bool OpenManual(int iPageType);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    CBaseDragFrame *m_pMainFrame = nullptr;
    QVBoxLayout *m_pLayout = nullptr;
};
