#pragma once
// The frameless dialog base of both deliverables: its own title bar, a
// content frame that callers fill, and a row of bottom buttons.
//
// Shell edition:   CBaseDialog(parent, bottom frame, Confirm, Cancel,
//                  left button, keep default texts); the look comes from the
//                  application style sheet ("CBaseDialogClass1" without and
//                  "CBaseDialogClass2" with the bottom frame).
// Plug-in edition: CBaseDialog(parent, large skin, OK, Cancel); the dialog
//                  sets its own skin.
//
// Escape never closes these dialogs. The title band (top 32 pixels) drags
// the window.

#include <QDialog>

class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class CPushButton;
class CTitleWidget;

class CBaseDialog : public QDialog
{
    Q_OBJECT
public:
#ifndef TOOLKIT_PLUGIN_EDITION
    explicit CBaseDialog(QWidget *parent = nullptr, bool bBottomFrame = true, bool bConfirmBtn = true,
                         bool bCancelBtn = true, bool bLeftBtn = true, bool bDefaultText = true);
#else
    explicit CBaseDialog(QWidget *parent = nullptr, bool bLargeSkin = true, bool bOkBtn = true, bool bCancelBtn = true);
#endif
    ~CBaseDialog() override;

    // The widgets of the dialog, under their object names.
    struct Ui {
        QGridLayout *m_pgridBaseDialog = nullptr;
        QFrame *m_pContentFrame = nullptr;
        QFrame *m_pBottomFrame = nullptr;
        CPushButton *m_pCloseBtn = nullptr;
#ifndef TOOLKIT_PLUGIN_EDITION
        CTitleWidget *m_pTitleWidget = nullptr;
        CPushButton *m_pCifBtn = nullptr;
        CPushButton *m_p4CifBtn = nullptr;
        CPushButton *m_pLeftBtn = nullptr;
        CPushButton *m_pConfirmBtn = nullptr;
        CPushButton *m_pCancelBtn = nullptr;
#else
        QLabel *pLabelTitle = nullptr;
        CPushButton *pOkBtn = nullptr;
        CPushButton *pCancelBtn = nullptr;
#endif
    } ui;

    void SetAutoAccept(bool bAuto)
    {
        m_bAutoAccept = bAuto;
    }
    void SetAutoClose(bool bAuto)
    {
        m_bAutoClose = bAuto;
    }
#ifndef TOOLKIT_PLUGIN_EDITION
    void SetAutoReject(bool bAuto)
    {
        m_bAutoReject = bAuto;
    }
#endif
    void SetTitleText(const QString &strTitle);
    QString GetTitleText() const;
    void SetBottomFrameVisible(bool bVisible);
    void SetCloseBtnVisible(bool bVisible);
    // Puts a widget into the content frame (margins 0); false for null.
    bool SetContentWidget(QWidget *pWidget);
    QFrame *GetContentFrame() const
    {
        return ui.m_pContentFrame;
    }
    // The confirming button: Confirm (shell) or OK (plug-in).
    CPushButton *ConfirmButton() const;
    CPushButton *CancelButton() const;
    bool IsBeingDestroyed() const
    {
        return m_bDestroying;
    }

    static constexpr int kDragBand = 32;
    // Set (as a dynamic property) when destruction starts, readable through
    // a plain QObject pointer while the widget parts are torn down.
    static constexpr const char *kDestroyingProperty = "toolkitDestroying";

signals:
#ifndef TOOLKIT_PLUGIN_EDITION
    void SignalLeftBtnClicked();
#else
    void leftBtn_clicked();
#endif
    void ClickedOKBtnSig();
    void ClickedCloseBtnSig();
#ifndef TOOLKIT_PLUGIN_EDITION
    void ClickedCancleBtnSig();
#endif

public slots:
    void SetOkBtnEnable(bool bEnabled);
#ifdef TOOLKIT_PLUGIN_EDITION
    void on_pOkBtn_clicked();
    void on_m_pCloseBtn_clicked();
#endif

#ifndef TOOLKIT_PLUGIN_EDITION
private slots:
    void OnConfirmBtnClicked();
    void OnCloseBtnClicked();
    void OnCancleBtnClicked();
#endif

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void SetupUi();
    // What both editions' SetupUi() build alike: the dialog's own settings
    // and grid, then (after the edition's title row) the content frame and
    // the bottom frame, whose grid the edition fills.
    void SetupDialog(const QSize &size, const QMargins &margins);
    QGridLayout *SetupFrames();
    // Return, Enter and Select: what each edition does with them.
    void ConfirmFromKey(QKeyEvent *e);
    // The confirming and the close button, as the auto flags say.
    void AcceptOrSignal();
    void CloseOrSignal();
#ifdef TOOLKIT_PLUGIN_EDITION
    void ApplySkin(bool bLarge, bool bCompactSpacing);
    bool FirstCallOfThisClick(int iSlot);
    quint64 m_uOkReleases = 0;
    quint64 m_uOkHandled = ~quint64(0);
    quint64 m_uCloseReleases = 0;
    quint64 m_uCloseHandled = ~quint64(0);
#endif

    bool m_bDragging = false;
    QPoint m_pointPress;
    bool m_bAutoAccept = true;
    bool m_bAutoClose = true;
#ifndef TOOLKIT_PLUGIN_EDITION
    bool m_bAutoReject = true;
#endif
    QGridLayout *m_pContentLayout = nullptr;
    bool m_bDestroying = false;
};
