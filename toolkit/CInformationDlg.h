#pragma once
// A self-hiding notice in the lower right corner of the screen. It stays
// 3 s, longer while the pointer rests on it. In path mode the text is a
// file path and a click opens the folder that holds the file.
//
//   CInformationDlg::ShowInformationAtScreenRightBottom(tr("Saved"), this);

#include <QFrame>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QLabel;
class QTextBrowser;

class CInformationDlg : public QFrame
{
    Q_OBJECT
public:
    explicit CInformationDlg(QWidget *parent = nullptr);

    static void ShowInformationAtScreenRightBottom(const QString &strText, QWidget *pWidget = nullptr,
                                                   bool bPathMode = false);
    // Hides the popup shown by ShowInformationAtScreenRightBottom, if any.
    static void HideInformation();
    // The popup currently alive, or null.
    static CInformationDlg *Current();

    void SetPathMode(bool bPathMode) { m_bPathMode = bPathMode; }
    bool IsPathMode() const { return m_bPathMode; }
    void SetText(const QString &strText);
    QTextBrowser *PathBrowser() const { return m_pLabelPath; }
    QTimer *Timer() { return &m_timer; }

    static constexpr int kShowMs = 3000;

public slots:
    void OnClose();
    void OnAnchorClicked(const QUrl &url);

protected:
    QLabel *m_pLabelPic;
    QTextBrowser *m_pLabelPath;

private:
    bool m_bPathMode = false;
    QTimer m_timer;
    static QPointer<CInformationDlg> s_pPopup;
};

// The snapshot notice: the same popup with its picture label in use.
class CSnapshotInfoWnd : public CInformationDlg
{
    Q_OBJECT
public:
    explicit CSnapshotInfoWnd(QWidget *parent = nullptr);
    void SetPicture(const QPixmap &pixmap);
};
