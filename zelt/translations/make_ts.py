#!/usr/bin/python3
# Writes ZELT_en.ts and ZELT_zh.ts from the table below (source text,
# Chinese). Run after adding a text: /usr/bin/python3 make_ts.py
import os
from xml.sax.saxutils import escape

TEXTS = {
    "QtZeltClass": [
        ("Form", "表单"),
        ("The total devices number:", "设备总数："),
        ("Save as Excel", "导出为 Excel"),
        ("Refresh", "刷新"),
        ("Modify Network parameters", "修改网络参数"),
        ("IP Address:", "IP 地址："),
        ("Port:", "端口："),
        ("Subnet Mask:", "子网掩码："),
        ("Gateway:", "网关："),
        ("IPv6 Address:", "IPv6 地址："),
        ("IPv6 Gateway:", "IPv6 网关："),
        ("IPv6 Prefix Length:", "IPv6 前缀长度："),
        ("Http Port:", "HTTP 端口："),
        ("Device Serial:", "设备序列号："),
        ("Enable DHCP", "启用 DHCP"),
        ("Password", "密码"),
        ("Modify", "修改"),
        ("Reset Default Password", "恢复默认密码"),
        ("Security code:", "安全码："),
        ("New Password:", "新密码："),
        ("Confirm Password:", "确认密码："),
        ("Comeback", "恢复"),
        ("Export", "导出"),
        ("Import", "导入"),
        ("Enable DHCP in Batch", "批量启用 DHCP"),
    ],
    "QtZelt": [
        ("ID", "序号"),
        ("Device Type", "设备型号"),
        ("IPv4 Address", "IPv4 地址"),
        ("Safety state", "安全状态"),
        ("Port", "端口"),
        ("Soft Vision", "软件版本"),
        ("IPv4 GateWay", "IPv4 网关"),
        ("Http Port", "HTTP 端口"),
        ("Serial Number", "序列号"),
        ("IPv4 Mask", "IPv4 子网掩码"),
        ("MAC", "MAC 地址"),
        ("Channel NO", "通道数"),
        ("DSP Vision", "DSP 版本"),
        ("Start Time", "启动时间"),
        ("IPv6 Address", "IPv6 地址"),
        ("IPv6 GateWay", "IPv6 网关"),
        ("IPv6 Prefix Length", "IPv6 前缀长度"),
        ("Is Support IPv6", "支持 IPv6"),
        ("Is Support Mod IPv6", "支持修改 IPv6"),
        ("Is Support DHCP", "支持 DHCP"),
        ("IPv4 DHCP", "IPv4 DHCP"),
        ("New", "新密码机制"),
        ("Yes", "是"),
        ("No", "否"),
        ("Active", "已激活"),
        ("Inactive", "未激活"),
        ("Device port ranges from 2000 to 65535.", "设备端口范围为 2000 到 65535。"),
        ("Http port ranges from 1 to 65535.", "HTTP 端口范围为 1 到 65535。"),
        ("Valid password range [8-16]. You can use a combination of numbers, \nlowercase, uppercase and special character for \nyour password with at least two kinds of them contained.",
         "密码长度为 8 到 16 位。可由数字、小写字母、\n大写字母和特殊字符组合而成，\n且至少包含其中两种。"),
        ("Start IP Address:", "起始 IP 地址："),
        ("Batch Modify Network parameters", "批量修改网络参数"),
        ("IP Address:", "IP 地址："),
        ("Modify Network parameters", "修改网络参数"),
        ("Activate device", "激活设备"),
        ("Reset Default Password", "恢复默认密码"),
        ("Reset Password", "重置密码"),
    ],
    "CTBX_ZELTMainWnd": [
        ("ZELT", "ZELT"),
        ("Online Devices", "在线设备"),
        ("Help", "帮助"),
        ("Version", "版本"),
        ("Info", "提示"),
        ("Can not find Manual.", "找不到用户手册。"),
        ("Confirm", "确认"),
        ("Sure to close software", "确定要关闭软件吗？"),
    ],
}


def write(path, lang, chinese):
    out = ['<?xml version="1.0" encoding="utf-8"?>', '<!DOCTYPE TS>', f'<TS version="2.1" language="{lang}">']
    for ctx, rows in TEXTS.items():
        out.append("<context>")
        out.append(f"    <name>{ctx}</name>")
        for src, zh in rows:
            out.append("    <message>")
            out.append(f"        <source>{escape(src)}</source>")
            out.append(f"        <translation>{escape(zh if chinese else src)}</translation>")
            out.append("    </message>")
        out.append("</context>")
    out.append("</TS>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


here = os.path.dirname(os.path.abspath(__file__))
write(os.path.join(here, "ZELT_en.ts"), "en_US", False)
write(os.path.join(here, "ZELT_zh.ts"), "zh_CN", True)
