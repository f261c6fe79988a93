#!/usr/bin/python3
# Fills the translations of the .ts files that lupdate wrote (update_ts.sh
# runs it): the English files carry their source texts, the Chinese ones the
# table below (a source already written in Chinese stands for itself in
# Chinese and takes its English text from EN). A message without a
# translation is listed and the script fails, so a new text cannot slip into
# a build untranslated.
#   usage: fill_ts.py en|zh file.ts...
import sys
import xml.etree.ElementTree as ET

# (context, source) -> Simplified Chinese. Tool code names (TBX-ZELT, ...),
# the product name and version numbers stay as they are in every language.
ZH = {
    # main window
    ("CTBX", "TBX"): "TBX",
    ("CTBX", "Confirm"): "确认",
    ("CTBX", "Sure to close software"): "确定要关闭软件吗？",
    ("CTBX", "Info"): "提示",
    ("CTBX", "Can not find Manual."): "找不到用户手册。",
    # entry point
    ("main", "TBX"): "TBX",
    ("main", "Software is already running."): "软件已在运行。",
    ("main", "Hint"): "提示",
    ("main", "The least resolution is 1024*768."): "屏幕分辨率至少为 1024*768。",
    # title bar and menus
    ("CWindowTitle", "TBX"): "TBX",
    ("CWindowTitle", "ZELT"): "ZELT",
    ("CWindowTitle", "&View"): "视图(&V)",
    ("CWindowTitle", "&Tools"): "工具(&T)",
    ("CWindowTitle", "&Help"): "帮助(&H)",
    ("CWindowTitle", "1024*768"): "1024*768",
    ("CWindowTitle", "1280*1024"): "1280*1024",
    ("CWindowTitle", "Full Screen"): "全屏",
    ("CWindowTitle", "Control Panel"): "控制面板",
    ("CWindowTitle", "About"): "关于",
    ("CWindowTitle", "Archive Fetch"): "录像备份",
    ("CWindowTitle", "Open TBX-ZELT"): "打开 TBX-ZELT",
    ("CWindowTitle", "Open TBX-CAMC"): "打开 TBX-CAMC",
    ("CWindowTitle", "Clip Viewer"): "录像回放",
    ("CWindowTitle", "Open Bulk Firmware"): "打开批量升级",
    ("CWindowTitle", "Open Storage Planner"): "打开存储规划",
    ("CWindowTitle", "Link Planner"): "链路规划",
    ("CWindowTitle", "Sharpness Aid"): "清晰度辅助",
    ("CWindowTitle", "Optics Picker"): "镜头选型",
    ("CWindowTitle", "Bulk Settings"): "批量配置",
    ("CWindowTitle", "Task Planner"): "任务规划",
    # title bar buttons (named for tool tips and screen readers)
    ("CWindowTitle", "Minimize"): "最小化",
    ("CWindowTitle", "Maximize"): "最大化",
    ("CWindowTitle", "Restore"): "还原",
    ("CWindowTitle", "Close"): "关闭",
    ("CWindowTitle", "Window Size"): "窗口大小",
    ("CWindowTitle", "Menu"): "菜单",
    # tab strip, as screen readers name it
    ("CTabView", "Tabs"): "标签页",
    # page frames: the keyboard's tab commands
    ("CBaseDragFrame", "Next Tab"): "下一个标签页",
    ("CBaseDragFrame", "Previous Tab"): "上一个标签页",
    ("CBaseDragFrame", "Close Tab"): "关闭标签页",
    ("CBaseDragFrame", "Detach Tab"): "分离标签页",
    # About box
    ("CDlgAbout", "About"): "关于",
    ("CDlgAbout", "Name:"): "名称：",
    ("CDlgAbout", "TBX"): "TBX",
    ("CDlgAbout", "Zeltscan Software"): "Zeltscan 软件",
    ("CDlgAbout", "Version:"): "版本：",
    ("CDlgAbout", "OK"): "确定",
    ("CDlgAbout", " v1.1.0.2"): " v1.1.0.2",
    ("CDlgAbout", " v2.00.00.01"): " v2.00.00.01",
    ("CDlgAbout", " Build"): " 构建 ",
    # page table: tool names and tab texts
    ("TBX", "Control Panel"): "控制面板",
    ("TBX", "TBX-ARCH"): "TBX-ARCH",
    ("TBX", "TBX-ZELT"): "TBX-ZELT",
    ("TBX", "TBX-CAMC"): "TBX-CAMC",
    ("TBX", "TBX-CLIP"): "TBX-CLIP",
    ("TBX", "TBX-FWUP"): "TBX-FWUP",
    ("TBX", "TBX-STOR"): "TBX-STOR",
    ("TBX", "TBX-LINK"): "TBX-LINK",
    ("TBX", "TBX-FOCA"): "TBX-FOCA",
    ("TBX", "TBX-OPTK"): "TBX-OPTK",
    ("TBX", "TBX-BULK"): "TBX-BULK",
    ("TBX", "TBX-TASK"): "TBX-TASK",
    # control panel
    ("CControlPanelFrame", "ControlPanelFrame"): "控制面板",
    ("CControlPanelFrame", "Tool List"): "工具列表",
    ("CControlPanelFrame", "Task Mode"): "任务模式",
    ("CControlPanelFrame", "Zeltscan software:used to search the active online devices within your subnet and display dievice information."):
        "Zeltscan 软件：用于搜索子网内的在线设备并显示设备信息。",
    ("CControlPanelFrame", "Cam Count Planner:used to calculate the number of NVRS/HDVRS or IP Cameras."):
        "摄像机数量规划：用于计算 NVR/HDVR 或网络摄像机的数量。",
    ("CControlPanelFrame", "Storage Planner:calculate the recording time when the disk space is given and calculate the disk space when the recording time is given."):
        "存储规划：已知磁盘空间时计算可录像时长，已知录像时长时计算所需磁盘空间。",
    ("CControlPanelFrame", "Link Planner:calculate the bandwidth needed when the connection conditions is given and calculate the recommended encoding parameters when the bandwidth is given."):
        "链路规划：已知连接条件时计算所需带宽，已知带宽时计算推荐的编码参数。",
    ("CControlPanelFrame", "Sharpness Aid: adjust focus of the connected network camera."):
        "清晰度辅助：调节已连接网络摄像机的聚焦。",
    ("CControlPanelFrame", "Optics Picker: select a proper lens for the camera according to the actual needs."):
        "镜头选型：根据实际需要为摄像机选择合适的镜头。",
    ("CControlPanelFrame", "Bulk Settings:used to config the paramter of NVR,DVR and IP Cameras."):
        "批量配置：用于配置 NVR、DVR 和网络摄像机的参数。",
    ("CControlPanelFrame", "Task Planner:used to calculate the bandwidth,disk,the number of NVRS/HDVRS by task mode"):
        "任务规划：按任务模式计算带宽、磁盘容量以及 NVR/HDVR 的数量。",
    ("CControlPanelFrame", "Archive Fetch software:used to back up videos from the remote DVR/NVR and DVS with SATA hard disk and IP Camera and Dome with SD card."):
        "录像备份软件：用于从远程 DVR/NVR、带 SATA 硬盘的 DVS 以及带 SD 卡的网络摄像机和球机备份录像。",
    ("CControlPanelFrame", "Clip Viewer Software:used to play back the record files from the Storage Sever and Encoding Server of Orvi client software."):
        "录像回放软件：用于回放 Orvi 客户端软件的存储服务器和编码服务器上的录像文件。",
    ("CControlPanelFrame", "Bulk Firmware software:used to upgrade one or many devices and  display the version information of the devices."):
        "批量升级软件：用于升级一台或多台设备，并显示设备的版本信息。",
    # toolkit: dialogs and message boxes
    ("CBaseDialog", "Yes"): "是",
    ("CBaseDialog", "No"): "否",
    ("CBaseDialog", "Online Devices"): "在线设备",
    ("CBaseDialog", "Confirm"): "确定",
    ("CBaseDialog", "Cancel"): "取消",
    ("CBaseDialog", "OK"): "确定",
    ("CBaseDialog", "Close"): "关闭",
    ("CBaseDialog", "CIF"): "CIF",
    ("CBaseDialog", "4CIF"): "4CIF",
    # toolkit: input fields and buttons
    ("CFilterLineEdit", "Clear Text"): "清除文本",
    ("CFilterLineEdit", "Filter"): "筛选",
    ("CSearchLineEdit", "Search..."): "搜索...",
    ("CSearchLineEdit", "Search"): "搜索",
    ("CIpLineEdit", "Address, part %1 of 4"): "地址，第 %1 段（共 4 段）",
    ("CIpLineEdit", "Dot"): "点",
    ("CIpLineEdit", "."): ".",
    ("CRankButton", "Low"): "弱",
    ("CRankButton", "Middle"): "中",
    ("CRankButton", "High"): "强",
    ("CValidateLineEdit", "Input cannot contain any of the following characters:"): "输入内容不能包含以下字符：",
    ("CValidateLineEditEx", "Input cannot contain any of the following characters:"): "输入内容不能包含以下字符：",
}

# Texts whose source is written in Chinese: their English translation.
EN = {
    ("CIpLineEdit", "%1不是一个有效项目。请指定介于1和223之间的数值。"):
        "%1 is not a valid entry. Please specify a value between 1 and 223.",
    ("CIpLineEdit", "%1不是一个有效项目。请指定介于0和255之间的数值。"):
        "%1 is not a valid entry. Please specify a value between 0 and 255.",
}


def is_chinese(text):
    return any("\u4e00" <= c <= "\u9fff" for c in text)


def translate(lang, context, source):
    if lang == "en":
        return EN.get((context, source), None if is_chinese(source) else source)
    return source if is_chinese(source) else ZH.get((context, source))


def fill(path, lang):
    tree = ET.parse(path)
    missing = []
    for ctx in tree.getroot().iter("context"):
        name = ctx.findtext("name")
        for msg in ctx.iter("message"):
            source = msg.findtext("source")
            tr = msg.find("translation")
            if tr is None:
                tr = ET.SubElement(msg, "translation")
            text = translate(lang, name, source)
            if text is None:
                missing.append((name, source))
                continue
            tr.text = text
            tr.attrib.pop("type", None)  # finished
    if missing:
        for name, source in missing:
            print(f"{path}: no translation for {name}: {source!r}", file=sys.stderr)
        return False
    ET.indent(tree, space="    ")
    with open(path, "wb") as f:
        f.write(b'<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n')
        tree.write(f, encoding="utf-8", xml_declaration=False)
        f.write(b"\n")
    return True


if __name__ == "__main__":
    lang, files = sys.argv[1], sys.argv[2:]
    ok = all([fill(p, lang) for p in files])
    sys.exit(0 if ok else 1)
