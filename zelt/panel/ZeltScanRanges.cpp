#include "ZeltScanRanges.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>

#include "ZeltSdkWrapper.h"
#include "zelt_sdk.h"

Q_LOGGING_CATEGORY(lcZeltRanges, "zelt.ranges")

namespace ZeltScanRanges {

namespace {
const char kKey[] = "scan/ranges";

QString Text(const char *source)
{
    return QCoreApplication::translate("QtZelt", source);
}
} // namespace

QString ConfigFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/toolbay/Zeltscan.conf");
}

QString Remembered()
{
    return QSettings(ConfigFile(), QSettings::IniFormat).value(QLatin1String(kKey)).toString();
}

QString Normalized(const QString &strText)
{
    QString text = strText.normalized(QString::NormalizationForm_KC);
    text.replace(QChar(0x3001), QLatin1Char(',')); // the enumeration comma of Chinese lists
    return text.trimmed();
}

QString RefusalText(uint32_t sdkError)
{
    if (sdkError == ZELT_ERR_RANGE_TOO_LARGE)
        return Text(QT_TRANSLATE_NOOP("QtZelt", "A range may hold at most 65,536 addresses (a /16), and all ranges "
                                                "together at most 262,144."));
    return Text(QT_TRANSLATE_NOOP("QtZelt", "This is not an address or a range.\nAccepted: addresses, blocks "
                                            "(10.2.0.0/22) and ranges (10.3.0.10-10.3.0.99), IPv4 or IPv6."));
}

QString Apply(const QString &strText)
{
    const QString ranges = Normalized(strText);
    // Latin-1 keeps one byte per character: any other character arrives
    // as '?' and is refused as text that is no range.
    if (const uint32_t error = ZeltSdkWrapper::SetScanRanges(ranges.toLatin1()))
        return RefusalText(error);
    QSettings settings(ConfigFile(), QSettings::IniFormat);
    if (ranges.isEmpty())
        settings.remove(QLatin1String(kKey));
    else
        settings.setValue(QLatin1String(kKey), ranges);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcZeltRanges) << "ranges not kept in" << ConfigFile();
    return QString();
}

void ApplyRemembered()
{
    const QString ranges = Remembered();
    if (ranges.isEmpty())
        return;
    if (const uint32_t error = ZeltSdkWrapper::SetScanRanges(ranges.toLatin1()))
        qCWarning(lcZeltRanges) << "kept ranges refused, error" << error << ranges;
}

} // namespace ZeltScanRanges
