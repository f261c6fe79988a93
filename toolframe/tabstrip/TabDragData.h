// The payload a tab carries when it is dragged between tab strips.
//
// "TabItemData" holds 8 bytes: the tab index, then the page type, each a
// 32-bit little-endian integer. The tab text travels as "TabItemText" (UTF-8)
// and the icon as the MIME image data.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>

class QMimeData;

namespace TabDrag {

inline constexpr char kDataFormat[] = "TabItemData";
inline constexpr char kTextFormat[] = "TabItemText";

struct Payload {
    int iTabIndex = -1;
    int iPageType = -1;
    QString strText;
    QIcon icon;
};

QByteArray EncodeData(int iTabIndex, int iPageType);

// Short data reads as -1: both values with 3 bytes or fewer, the page type
// with 7 bytes or fewer.
void DecodeData(const QByteArray &data, int *pTabIndex, int *pPageType);

// New MIME data for a tab drag; the caller owns it (QDrag takes it over).
QMimeData *BuildMimeData(int iTabIndex, int iPageType, const QString &strText, const QIcon &icon);

// Reads whatever the MIME data carries; missing parts stay at their defaults.
Payload ReadMimeData(const QMimeData *pMime);

// True when the MIME data is a tab drag this strip can take: it has
// "TabItemData" and a page type that a page can have (positive).
bool IsAcceptable(const QMimeData *pMime);

} // namespace TabDrag
