<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>QtZeltClass</name>
    <message>
        <source>Form</source>
        <translation>表单</translation>
    </message>
    <message>
        <source>The total devices number:</source>
        <translation>设备总数：</translation>
    </message>
    <message>
        <source>Save as Excel</source>
        <translation>导出为 Excel</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Modify Network parameters</source>
        <translation>修改网络参数</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP 地址：</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>Subnet Mask:</source>
        <translation>子网掩码：</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>网关：</translation>
    </message>
    <message>
        <source>IPv6 Address:</source>
        <translation>IPv6 地址：</translation>
    </message>
    <message>
        <source>IPv6 Gateway:</source>
        <translation>IPv6 网关：</translation>
    </message>
    <message>
        <source>IPv6 Prefix Length:</source>
        <translation>IPv6 前缀长度：</translation>
    </message>
    <message>
        <source>Http Port:</source>
        <translation>HTTP 端口：</translation>
    </message>
    <message>
        <source>Device Serial:</source>
        <translation>设备序列号：</translation>
    </message>
    <message>
        <source>Enable DHCP</source>
        <translation>启用 DHCP</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>Modify</source>
        <translation>修改</translation>
    </message>
    <message>
        <source>Reset Default Password</source>
        <translation>恢复默认密码</translation>
    </message>
    <message>
        <source>Security code:</source>
        <translation>安全码：</translation>
    </message>
    <message>
        <source>New Password:</source>
        <translation>新密码：</translation>
    </message>
    <message>
        <source>Confirm Password:</source>
        <translation>确认密码：</translation>
    </message>
    <message>
        <source>Comeback</source>
        <translation>恢复</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>导入</translation>
    </message>
    <message>
        <source>Enable DHCP in Batch</source>
        <translation>批量启用 DHCP</translation>
    </message>
</context>
<context>
    <name>QtZelt</name>
    <message>
        <source>ID</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>设备型号</translation>
    </message>
    <message>
        <source>IPv4 Address</source>
        <translation>IPv4 地址</translation>
    </message>
    <message>
        <source>Safety state</source>
        <translation>安全状态</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Soft Vision</source>
        <translation>软件版本</translation>
    </message>
    <message>
        <source>IPv4 GateWay</source>
        <translation>IPv4 网关</translation>
    </message>
    <message>
        <source>Http Port</source>
        <translation>HTTP 端口</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>IPv4 Mask</source>
        <translation>IPv4 子网掩码</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC 地址</translation>
    </message>
    <message>
        <source>Channel NO</source>
        <translation>通道数</translation>
    </message>
    <message>
        <source>DSP Vision</source>
        <translation>DSP 版本</translation>
    </message>
    <message>
        <source>Start Time</source>
        <translation>启动时间</translation>
    </message>
    <message>
        <source>IPv6 Address</source>
        <translation>IPv6 地址</translation>
    </message>
    <message>
        <source>IPv6 GateWay</source>
        <translation>IPv6 网关</translation>
    </message>
    <message>
        <source>IPv6 Prefix Length</source>
        <translation>IPv6 前缀长度</translation>
    </message>
    <message>
        <source>Is Support IPv6</source>
        <translation>支持 IPv6</translation>
    </message>
    <message>
        <source>Is Support Mod IPv6</source>
        <translation>支持修改 IPv6</translation>
    </message>
    <message>
        <source>Is Support DHCP</source>
        <translation>支持 DHCP</translation>
    </message>
    <message>
        <source>IPv4 DHCP</source>
        <translation>IPv4 DHCP</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新密码机制</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>已激活</translation>
    </message>
    <message>
        <source>Inactive</source>
        <translation>未激活</translation>
    </message>
    <message>
        <source>Device port ranges from 2000 to 65535.</source>
        <translation>设备端口范围为 2000 到 65535。</translation>
    </message>
    <message>
        <source>Http port ranges from 1 to 65535.</source>
        <translation>HTTP 端口范围为 1 到 65535。</translation>
    </message>
    <message>
        <source>Valid password range [8-16]. You can use a combination of numbers, 
lowercase, uppercase and special character for 
your password with at least two kinds of them contained.</source>
        <translation>密码长度为 8 到 16 位。可由数字、小写字母、
大写字母和特殊字符组合而成，
且至少包含其中两种。</translation>
    </message>
    <message>
        <source>Start IP Address:</source>
        <translation>起始 IP 地址：</translation>
    </message>
    <message>
        <source>Batch Modify Network parameters</source>
        <translation>批量修改网络参数</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP 地址：</translation>
    </message>
    <message>
        <source>Modify Network parameters</source>
        <translation>修改网络参数</translation>
    </message>
    <message>
        <source>Activate device</source>
        <translation>激活设备</translation>
    </message>
    <message>
        <source>Reset Default Password</source>
        <translation>恢复默认密码</translation>
    </message>
    <message>
        <source>Reset Password</source>
        <translation>重置密码</translation>
    </message>
</context>
<context>
    <name>CTBX_ZELTMainWnd</name>
    <message>
        <source>ZELT</source>
        <translation>ZELT</translation>
    </message>
    <message>
        <source>Online Devices</source>
        <translation>在线设备</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Can not find Manual.</source>
        <translation>找不到用户手册。</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Sure to close software</source>
        <translation>确定要关闭软件吗？</translation>
    </message>
</context>
</TS>
