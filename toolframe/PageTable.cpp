#include "PageTable.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include "ClientConfigManager.h"

namespace {

struct StaticRow {
    const char *name;
    const char *panelIcon;
    const char *hoverIcon;
    const char *tabText;
    const char *tabIcon;
    int type;
    int group;
};

const StaticRow kRows[] = {
    {QT_TRANSLATE_NOOP("TBX", "Control Panel"), "CMain-View.png", "", QT_TRANSLATE_NOOP("TBX", "Control Panel"),
     "ico_Control-Panel.png", 1, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-ARCH"), "TBX-ARCH.png", "TBX-ARCH_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-ARCH"),
     "TBX_ARCH.png", 10, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-ZELT"), "TBX-ZELT.png", "TBX-ZELT_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-ZELT"),
     "TBX_ZELT.png", 2, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-CAMC"), "TBX-CAMC.png", "TBX-CAMC_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-CAMC"),
     "TBX_CAMC.png", 3, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-CLIP"), "TBX-CLIP.png", "TBX-CLIP_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-CLIP"),
     "TBX_CLIP.png", 11, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-FWUP"), "TBX-FWUP.png", "TBX-FWUP_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-FWUP"),
     "TBX_FWUP.png", 12, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-STOR"), "TBX-STOR.png", "TBX-STOR_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-STOR"),
     "STOR.png", 4, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-LINK"), "TBX-LINK.png", "TBX-LINK_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-LINK"),
     "LINK.png", 5, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-FOCA"), "TBX-FOCA.png", "TBX-FOCA_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-FOCA"),
     "TBX_FOCA.png", 6, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-OPTK"), "TBX-OPTK.png", "TBX-OPTK_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-OPTK"),
     "TBX_OPTK.png", 7, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-BULK"), "TBX-BULK.png", "TBX-BULK_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-BULK"),
     "Bulk.png", 8, 0},
    {QT_TRANSLATE_NOOP("TBX", "TBX-TASK"), "TBX-TASK.png", "TBX-TASK_hover.png", QT_TRANSLATE_NOOP("TBX", "TBX-TASK"),
     "calculate32.png", 9, 0},
    {"", "", "", "", "", -1, 0},
};

const char *const kDescriptions[] = {
    /* 2 */ QT_TRANSLATE_NOOP("CControlPanelFrame", "Zeltscan software:used to search the active online devices within "
                                                    "your subnet and display dievice information."),
    /* 3 */
    QT_TRANSLATE_NOOP("CControlPanelFrame",
                      "Cam Count Planner:used to calculate the number of NVRS/HDVRS or IP Cameras."),
    /* 4 */
    QT_TRANSLATE_NOOP("CControlPanelFrame", "Storage Planner:calculate the recording time when the disk space is given "
                                            "and calculate the disk space when the recording time is given."),
    /* 5 */
    QT_TRANSLATE_NOOP("CControlPanelFrame",
                      "Link Planner:calculate the bandwidth needed when the connection conditions is given and "
                      "calculate the recommended encoding parameters when the bandwidth is given."),
    /* 6 */ QT_TRANSLATE_NOOP("CControlPanelFrame", "Sharpness Aid: adjust focus of the connected network camera."),
    /* 7 */
    QT_TRANSLATE_NOOP("CControlPanelFrame",
                      "Optics Picker: select a proper lens for the camera according to the actual needs."),
    /* 8 */
    QT_TRANSLATE_NOOP("CControlPanelFrame", "Bulk Settings:used to config the paramter of NVR,DVR and IP Cameras."),
    /* 9 */
    QT_TRANSLATE_NOOP("CControlPanelFrame",
                      "Task Planner:used to calculate the bandwidth,disk,the number of NVRS/HDVRS by task mode"),
    /* 10 */
    QT_TRANSLATE_NOOP("CControlPanelFrame", "Archive Fetch software:used to back up videos from the remote DVR/NVR and "
                                            "DVS with SATA hard disk and IP Camera and Dome with SD card."),
    /* 11 */
    QT_TRANSLATE_NOOP("CControlPanelFrame", "Clip Viewer Software:used to play back the record files from the Storage "
                                            "Sever and Encoding Server of Orvi client software."),
    /* 12 */
    QT_TRANSLATE_NOOP("CControlPanelFrame", "Bulk Firmware software:used to upgrade one or many devices and  display "
                                            "the version information of the devices."),
};

bool chineseUi()
{
    const ClientLanguageProperty *lang = ClientLanguageManager::Instance()->CurrentLanguage();
    if (!lang || !lang->m_pAppTranslator || lang->m_pAppTranslator->isEmpty())
        return false;
    return QLocale(lang->m_pAppTranslator->language()).language() == QLocale::Chinese;
}

} // namespace

namespace PageTable {

QList<PageTableRow> Rows()
{
    const int languageGroup = chineseUi() ? 3 : 2;
    QList<PageTableRow> out;
    for (const StaticRow &r : kRows) {
        if (r.type == -1)
            break;
        if ((r.group == 0 || r.group == languageGroup) && out.size() < 12)
            out.append({QString::fromLatin1(r.name), QString::fromLatin1(r.panelIcon), QString::fromLatin1(r.hoverIcon),
                        QString::fromLatin1(r.tabText), QString::fromLatin1(r.tabIcon), r.type, r.group});
    }
    out.append({QString(), QString(), QString(), QString(), QString(), -1, 0});
    return out;
}

QString TabText(int iPageType)
{
    for (const StaticRow &r : kRows) {
        if (r.type == -1)
            break;
        if (r.type == iPageType)
            return QString::fromLatin1(r.tabText);
    }
    return QString();
}

QString TabIcon(int iPageType)
{
    for (const StaticRow &r : kRows) {
        if (r.type == -1)
            break;
        if (r.type == iPageType)
            return QString::fromLatin1(r.tabIcon);
    }
    return QString();
}

QString Description(int iPageType)
{
    if (iPageType < 2 || iPageType > 12)
        return QString();
    return QCoreApplication::translate("CControlPanelFrame", kDescriptions[iPageType - 2]);
}

} // namespace PageTable
