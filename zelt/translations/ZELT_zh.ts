<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>QtZeltClass</name>
    <message>
        <source>IP Address</source>
        <translation>IP 地址</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Subnet Mask</source>
        <translation>子网掩码</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>网关</translation>
    </message>
    <message>
        <source>IPv6 Address</source>
        <translation>IPv6 地址</translation>
    </message>
    <message>
        <source>IPv6 Gateway</source>
        <translation>IPv6 网关</translation>
    </message>
    <message>
        <source>IPv6 Prefix Length</source>
        <translation>IPv6 前缀长度</translation>
    </message>
    <message>
        <source>Http Port</source>
        <translation>HTTP 端口</translation>
    </message>
    <message>
        <source>Device Serial</source>
        <translation>设备序列号</translation>
    </message>
    <message>
        <source>Device password</source>
        <translation>设备密码</translation>
    </message>
    <message>
        <source>Security code</source>
        <translation>安全码</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>新密码</translation>
    </message>
    <message>
        <source>Confirm password</source>
        <translation>确认密码</translation>
    </message>
    <message>
        <source>Folder to save the key file in</source>
        <translation>保存密钥文件的文件夹</translation>
    </message>
    <message>
        <source>Key file to import</source>
        <translation>要导入的密钥文件</translation>
    </message>
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
    <message>
        <source>Devices in other subnets: their addresses or address ranges</source>
        <translation>其他子网中的设备：按地址或地址范围添加</translation>
    </message>
    <message>
        <source>Add by address or range</source>
        <translation>按地址或范围添加</translation>
    </message>
    <message>
        <source>Set the clocks of the selected devices to this computer's, with the device password</source>
        <translation>使用设备密码，将所选设备的时钟设为本机时间</translation>
    </message>
    <message>
        <source>Synchronize time</source>
        <translation>同步时间</translation>
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
    <message>
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Please select a device.</source>
        <translation>请选择设备。</translation>
    </message>
    <message>
        <source>IP address cannot be empty.</source>
        <translation>IP 地址不能为空。</translation>
    </message>
    <message>
        <source>IP Address not correct.</source>
        <translation>IP 地址不正确。</translation>
    </message>
    <message>
        <source>Subnet mask cannot be empty.</source>
        <translation>子网掩码不能为空。</translation>
    </message>
    <message>
        <source>Subnet Mask not correct.</source>
        <translation>子网掩码不正确。</translation>
    </message>
    <message>
        <source>Gateway not correct.</source>
        <translation>网关不正确。</translation>
    </message>
    <message>
        <source>IPv6 Address not correct.</source>
        <translation>IPv6 地址不正确。</translation>
    </message>
    <message>
        <source>IPv6 gateway not correct.</source>
        <translation>IPv6 网关不正确。</translation>
    </message>
    <message>
        <source>IPv6 prefix length ranges from 0 to 64.</source>
        <translation>IPv6 前缀长度范围为 0 到 64。</translation>
    </message>
    <message>
        <source>The password may only contain printable ASCII characters.</source>
        <translation>密码只能包含可打印的 ASCII 字符。</translation>
    </message>
    <message>
        <source>Not enough addresses after %1 for %2 devices; nothing was changed.</source>
        <translation>%1 之后的地址不足以分配给 %2 台设备，未做任何修改。</translation>
    </message>
    <message>
        <source>ID:%1</source>
        <translation>序号：%1</translation>
    </message>
    <message>
        <source>Modify network parameter failed!</source>
        <translation>修改网络参数失败！</translation>
    </message>
    <message>
        <source>Modify network parameter succeed, please reboot your device!</source>
        <translation>修改网络参数成功，请重启设备！</translation>
    </message>
    <message>
        <source>Modify network parameter succeed.</source>
        <translation>修改网络参数成功。</translation>
    </message>
    <message>
        <source>Weak</source>
        <translation>弱</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>中</translation>
    </message>
    <message>
        <source>Strong</source>
        <translation>强</translation>
    </message>
    <message>
        <source>The password can not be empty.</source>
        <translation>密码不能为空。</translation>
    </message>
    <message>
        <source>The password you typed do not match.</source>
        <translation>两次输入的密码不一致。</translation>
    </message>
    <message>
        <source>The device is activated.</source>
        <translation>设备已激活。</translation>
    </message>
    <message>
        <source>Operation failed.</source>
        <translation>操作失败。</translation>
    </message>
    <message>
        <source>No activate device.</source>
        <translation>没有需要激活的设备。</translation>
    </message>
    <message>
        <source>Reset password succeed.</source>
        <translation>重置密码成功。</translation>
    </message>
    <message>
        <source>Restore default password succeed.</source>
        <translation>恢复默认密码成功。</translation>
    </message>
    <message>
        <source>Reset password failed.</source>
        <translation>重置密码失败。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Restore default password failed!</source>
        <translation>恢复默认密码失败！</translation>
    </message>
    <message>
        <source>Password cannot be empty.</source>
        <translation>安全码不能为空。</translation>
    </message>
    <message>
        <source>The security code may only contain printable ASCII characters.</source>
        <translation>安全码只能包含可打印的 ASCII 字符。</translation>
    </message>
    <message>
        <source>File path cannot be empty.</source>
        <translation>文件路径不能为空。</translation>
    </message>
    <message>
        <source>Row error!</source>
        <translation>行错误！</translation>
    </message>
    <message>
        <source>Get key error.</source>
        <translation>获取设备密钥失败。</translation>
    </message>
    <message>
        <source>Create device key file error.</source>
        <translation>创建设备密钥文件失败。</translation>
    </message>
    <message>
        <source>DeviceKey.xml in this folder is a link; nothing was written.</source>
        <translation>此文件夹中的 DeviceKey.xml 是一个链接；未写入任何内容。</translation>
    </message>
    <message>
        <source>Exported.</source>
        <translation>已导出。</translation>
    </message>
    <message>
        <source>The key file path is too long.</source>
        <translation>密钥文件路径过长。</translation>
    </message>
    <message>
        <source>Please import a device key file to reset the password.</source>
        <translation>请导入设备密钥文件以重置密码。</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Trust</source>
        <translation>信任</translation>
    </message>
    <message>
        <source>How each device's identity is known</source>
        <translation>设备身份的确认方式</translation>
    </message>
    <message>
        <source>Send the password anyway?</source>
        <translation>仍要发送密码吗？</translation>
    </message>
    <message>
        <source>Send the new password anyway?</source>
        <translation>仍要发送新密码吗？</translation>
    </message>
    <message>
        <source>Send the security code anyway?</source>
        <translation>仍要发送安全码吗？</translation>
    </message>
    <message>
        <source>Send the key file and the new password anyway?</source>
        <translation>仍要发送密钥文件和新密码吗？</translation>
    </message>
    <message>
        <source>Send the key file anyway?</source>
        <translation>仍要发送密钥文件吗？</translation>
    </message>
    <message>
        <source>ID %1: %2</source>
        <translation>序号 %1：%2</translation>
    </message>
    <message>
        <source>Verified</source>
        <translation>已验证</translation>
    </message>
    <message>
        <source>Verified: maker certificate checked</source>
        <translation>已验证：厂商证书已核验</translation>
    </message>
    <message>
        <source>Pinned</source>
        <translation>已固定</translation>
    </message>
    <message>
        <source>Pinned: HTTPS certificate as at first contact</source>
        <translation>已固定：HTTPS 证书与首次连接时一致</translation>
    </message>
    <message>
        <source>Uncertified</source>
        <translation>未认证</translation>
    </message>
    <message>
        <source>Uncertified: found over ONVIF; cannot prove who it is</source>
        <translation>未认证：通过 ONVIF 发现，无法证明其身份</translation>
    </message>
    <message>
        <source>Ambiguous</source>
        <translation>身份冲突</translation>
    </message>
    <message>
        <source>Ambiguous: two devices claim this MAC or serial number; commands refused</source>
        <translation>身份冲突：两台设备声称使用此 MAC 地址或序列号，命令被拒绝</translation>
    </message>
    <message>
        <source>Untrusted</source>
        <translation>不受信任</translation>
    </message>
    <message>
        <source>Untrusted: no certificate of a trusted maker</source>
        <translation>不受信任：没有受信任厂商的证书</translation>
    </message>
    <message>
        <source>It cannot prove who it is and sending to it was not agreed to; nothing was sent.</source>
        <translation>该设备无法证明其身份，且未同意向其发送；未发送任何内容。</translation>
    </message>
    <message>
        <source>Two devices claim this MAC or serial number; commands are refused and nothing was sent.</source>
        <translation>两台设备声称使用此 MAC 地址或序列号；命令被拒绝，未发送任何内容。</translation>
    </message>
    <message>
        <source>Its HTTPS certificate is not the one seen at first contact; nothing was sent.</source>
        <translation>其 HTTPS 证书与首次连接时不同；未发送任何内容。</translation>
    </message>
    <message>
        <source>It has no certificate of a trusted maker; nothing was sent.</source>
        <translation>该设备没有受信任厂商的证书；未发送任何内容。</translation>
    </message>
    <message>
        <source>Identity not verified</source>
        <translation>身份未验证</translation>
    </message>
    <message>
        <source>This device cannot prove who it is (found over ONVIF, no maker certificate):</source>
        <translation>此设备无法证明其身份（通过 ONVIF 发现，没有厂商证书）：</translation>
    </message>
    <message>
        <source>%1 devices cannot prove who they are (found over ONVIF, no maker certificate):</source>
        <translation>%1 台设备无法证明其身份（通过 ONVIF 发现，没有厂商证书）：</translation>
    </message>
    <message>
        <source>ID %1   %2</source>
        <translation>序号 %1   %2</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>另有 %1 台</translation>
    </message>
    <message>
        <source>No leaves them out; the other devices are changed either way.</source>
        <translation>选择“否”将跳过这些设备；其他设备照常修改。</translation>
    </message>
    <message>
        <source>New certificate</source>
        <translation>新证书</translation>
    </message>
    <message>
        <source>This device presents a new HTTPS certificate, not the one seen at first contact:</source>
        <translation>此设备出示了新的 HTTPS 证书，与首次连接时看到的不同：</translation>
    </message>
    <message>
        <source>%1 devices present a new HTTPS certificate, not the one seen at first contact:</source>
        <translation>%1 台设备出示了新的 HTTPS 证书，与首次连接时看到的不同：</translation>
    </message>
    <message>
        <source>Accept the new certificates? Only if these devices were replaced: otherwise another host may be answering in their place.</source>
        <translation>接受新证书吗？仅当这些设备已被更换时才接受：否则可能是另一台主机在冒充它们应答。</translation>
    </message>
    <message>
        <source>Clock: in step with this computer</source>
        <translation>时钟：与本机一致</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 分 %2 秒</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 分钟</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 小时 %2 分</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 小时</translation>
    </message>
    <message>
        <source>%1 d %2 h</source>
        <translation>%1 天 %2 小时</translation>
    </message>
    <message>
        <source>%1 d</source>
        <translation>%1 天</translation>
    </message>
    <message>
        <source>Clock: %1 ahead of this computer</source>
        <translation>时钟：比本机快 %1</translation>
    </message>
    <message>
        <source>Clock: %1 behind this computer</source>
        <translation>时钟：比本机慢 %1</translation>
    </message>
    <message>
        <source>Synchronize time</source>
        <translation>同步时间</translation>
    </message>
    <message>
        <source>Time synchronized.</source>
        <translation>时间已同步。</translation>
    </message>
    <message>
        <source>Time synchronization failed!</source>
        <translation>时间同步失败！</translation>
    </message>
    <message>
        <source>Addresses or ranges to search</source>
        <translation>要搜索的地址或范围</translation>
    </message>
    <message>
        <source>Add by address or range</source>
        <translation>按地址或范围添加</translation>
    </message>
    <message>
        <source>Devices behind a router: their addresses, blocks such as 10.2.0.0/22 or ranges such as 10.3.0.10-10.3.0.99 (IPv4 or IPv6, at most a /16 each), separated by commas or spaces. Empty: the local network only.</source>
        <translation>路由器后面的设备：填写其地址、地址块（如 10.2.0.0/22）或地址范围（如 10.3.0.10-10.3.0.99），IPv4 或 IPv6，每项最多一个 /16，以逗号或空格分隔。留空：仅搜索本地网络。</translation>
    </message>
    <message>
        <source>Device password</source>
        <translation>设备密码</translation>
    </message>
    <message>
        <source>The password of the selected devices:</source>
        <translation>所选设备的密码：</translation>
    </message>
    <message>
        <source>A range may hold at most 65,536 addresses (a /16), and all ranges together at most 262,144.</source>
        <translation>每个范围最多 65,536 个地址（一个 /16），所有范围合计最多 262,144 个。</translation>
    </message>
    <message>
        <source>This is not an address or a range.
Accepted: addresses, blocks (10.2.0.0/22) and ranges (10.3.0.10-10.3.0.99), IPv4 or IPv6.</source>
        <translation>这不是地址或地址范围。
可填写：地址、地址块（10.2.0.0/22）和地址范围（10.3.0.10-10.3.0.99），IPv4 或 IPv6。</translation>
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
<context>
    <name>PathWidget</name>
    <message>
        <source>PathWidget</source>
        <translation>PathWidget</translation>
    </message>
    <message>
        <source>File Name:</source>
        <translation>文件名：</translation>
    </message>
    <message>
        <source>Please select file path:</source>
        <translation>请选择文件路径：</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>The name is invalid</source>
        <translation>名称无效</translation>
    </message>
    <message>
        <source>The name contains illegal character</source>
        <translation>名称包含非法字符</translation>
    </message>
    <message>
        <source>Hint</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>The file name has been used; replace it?</source>
        <translation>该文件名已被使用，是否替换？</translation>
    </message>
    <message>
        <source>Warn</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Saving failed.</source>
        <translation>保存失败。</translation>
    </message>
    <message>
        <source>Saved.</source>
        <translation>已保存。</translation>
    </message>
</context>
<context>
    <name>CPathComboBox</name>
    <message>
        <source>Select Directory</source>
        <translation>选择目录</translation>
    </message>
</context>
<context>
    <name>CZeltProgressDialog</name>
    <message>
        <source>%1 of %2</source>
        <translation>已完成 %1 / %2</translation>
    </message>
    <message>
        <source>Stopping...</source>
        <translation>正在停止…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
</TS>
