<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>QtZeltClass</name>
    <message>
        <source>IP Address</source>
        <translation>IP Address</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Subnet Mask</source>
        <translation>Subnet Mask</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>IPv6 Address</source>
        <translation>IPv6 Address</translation>
    </message>
    <message>
        <source>IPv6 Gateway</source>
        <translation>IPv6 Gateway</translation>
    </message>
    <message>
        <source>IPv6 Prefix Length</source>
        <translation>IPv6 Prefix Length</translation>
    </message>
    <message>
        <source>Http Port</source>
        <translation>Http Port</translation>
    </message>
    <message>
        <source>Device Serial</source>
        <translation>Device Serial</translation>
    </message>
    <message>
        <source>Device password</source>
        <translation>Device password</translation>
    </message>
    <message>
        <source>Security code</source>
        <translation>Security code</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>New password</translation>
    </message>
    <message>
        <source>Confirm password</source>
        <translation>Confirm password</translation>
    </message>
    <message>
        <source>Folder to save the key file in</source>
        <translation>Folder to save the key file in</translation>
    </message>
    <message>
        <source>Key file to import</source>
        <translation>Key file to import</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>The total devices number:</source>
        <translation>The total devices number:</translation>
    </message>
    <message>
        <source>Save as Excel</source>
        <translation>Save as Excel</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Modify Network parameters</source>
        <translation>Modify Network parameters</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP Address:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Subnet Mask:</source>
        <translation>Subnet Mask:</translation>
    </message>
    <message>
        <source>Gateway:</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>IPv6 Address:</source>
        <translation>IPv6 Address:</translation>
    </message>
    <message>
        <source>IPv6 Gateway:</source>
        <translation>IPv6 Gateway:</translation>
    </message>
    <message>
        <source>IPv6 Prefix Length:</source>
        <translation>IPv6 Prefix Length:</translation>
    </message>
    <message>
        <source>Http Port:</source>
        <translation>Http Port:</translation>
    </message>
    <message>
        <source>Device Serial:</source>
        <translation>Device Serial:</translation>
    </message>
    <message>
        <source>Enable DHCP</source>
        <translation>Enable DHCP</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Modify</source>
        <translation>Modify</translation>
    </message>
    <message>
        <source>Reset Default Password</source>
        <translation>Reset Default Password</translation>
    </message>
    <message>
        <source>Security code:</source>
        <translation>Security code:</translation>
    </message>
    <message>
        <source>New Password:</source>
        <translation>New Password:</translation>
    </message>
    <message>
        <source>Confirm Password:</source>
        <translation>Confirm Password:</translation>
    </message>
    <message>
        <source>Comeback</source>
        <translation>Comeback</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>Enable DHCP in Batch</source>
        <translation>Enable DHCP in Batch</translation>
    </message>
    <message>
        <source>Devices in other subnets: their addresses or address ranges</source>
        <translation>Devices in other subnets: their addresses or address ranges</translation>
    </message>
    <message>
        <source>Add by address or range</source>
        <translation>Add by address or range</translation>
    </message>
    <message>
        <source>Set the clocks of the selected devices to this computer's, with the device password</source>
        <translation>Set the clocks of the selected devices to this computer's, with the device password</translation>
    </message>
    <message>
        <source>Synchronize time</source>
        <translation>Synchronize time</translation>
    </message>
</context>
<context>
    <name>QtZelt</name>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>Device Type</translation>
    </message>
    <message>
        <source>IPv4 Address</source>
        <translation>IPv4 Address</translation>
    </message>
    <message>
        <source>Safety state</source>
        <translation>Safety state</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Soft Vision</source>
        <translation>Soft Vision</translation>
    </message>
    <message>
        <source>IPv4 GateWay</source>
        <translation>IPv4 GateWay</translation>
    </message>
    <message>
        <source>Http Port</source>
        <translation>Http Port</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>Serial Number</translation>
    </message>
    <message>
        <source>IPv4 Mask</source>
        <translation>IPv4 Mask</translation>
    </message>
    <message>
        <source>MAC</source>
        <translation>MAC</translation>
    </message>
    <message>
        <source>Channel NO</source>
        <translation>Channel NO</translation>
    </message>
    <message>
        <source>DSP Vision</source>
        <translation>DSP Vision</translation>
    </message>
    <message>
        <source>Start Time</source>
        <translation>Start Time</translation>
    </message>
    <message>
        <source>IPv6 Address</source>
        <translation>IPv6 Address</translation>
    </message>
    <message>
        <source>IPv6 GateWay</source>
        <translation>IPv6 GateWay</translation>
    </message>
    <message>
        <source>IPv6 Prefix Length</source>
        <translation>IPv6 Prefix Length</translation>
    </message>
    <message>
        <source>Is Support IPv6</source>
        <translation>Is Support IPv6</translation>
    </message>
    <message>
        <source>Is Support Mod IPv6</source>
        <translation>Is Support Mod IPv6</translation>
    </message>
    <message>
        <source>Is Support DHCP</source>
        <translation>Is Support DHCP</translation>
    </message>
    <message>
        <source>IPv4 DHCP</source>
        <translation>IPv4 DHCP</translation>
    </message>
    <message>
        <source>New</source>
        <translation>New</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>Inactive</source>
        <translation>Inactive</translation>
    </message>
    <message>
        <source>Device port ranges from 2000 to 65535.</source>
        <translation>Device port ranges from 2000 to 65535.</translation>
    </message>
    <message>
        <source>Http port ranges from 1 to 65535.</source>
        <translation>Http port ranges from 1 to 65535.</translation>
    </message>
    <message>
        <source>Valid password range [8-16]. You can use a combination of numbers, 
lowercase, uppercase and special character for 
your password with at least two kinds of them contained.</source>
        <translation>Valid password range [8-16]. You can use a combination of numbers, 
lowercase, uppercase and special character for 
your password with at least two kinds of them contained.</translation>
    </message>
    <message>
        <source>Start IP Address:</source>
        <translation>Start IP Address:</translation>
    </message>
    <message>
        <source>Batch Modify Network parameters</source>
        <translation>Batch Modify Network parameters</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP Address:</translation>
    </message>
    <message>
        <source>Modify Network parameters</source>
        <translation>Modify Network parameters</translation>
    </message>
    <message>
        <source>Activate device</source>
        <translation>Activate device</translation>
    </message>
    <message>
        <source>Reset Default Password</source>
        <translation>Reset Default Password</translation>
    </message>
    <message>
        <source>Reset Password</source>
        <translation>Reset Password</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Please select a device.</source>
        <translation>Please select a device.</translation>
    </message>
    <message>
        <source>IP address cannot be empty.</source>
        <translation>IP address cannot be empty.</translation>
    </message>
    <message>
        <source>IP Address not correct.</source>
        <translation>IP Address not correct.</translation>
    </message>
    <message>
        <source>Subnet mask cannot be empty.</source>
        <translation>Subnet mask cannot be empty.</translation>
    </message>
    <message>
        <source>Subnet Mask not correct.</source>
        <translation>Subnet Mask not correct.</translation>
    </message>
    <message>
        <source>Gateway not correct.</source>
        <translation>Gateway not correct.</translation>
    </message>
    <message>
        <source>IPv6 Address not correct.</source>
        <translation>IPv6 Address not correct.</translation>
    </message>
    <message>
        <source>IPv6 gateway not correct.</source>
        <translation>IPv6 gateway not correct.</translation>
    </message>
    <message>
        <source>IPv6 prefix length ranges from 0 to 64.</source>
        <translation>IPv6 prefix length ranges from 0 to 64.</translation>
    </message>
    <message>
        <source>The password may only contain printable ASCII characters.</source>
        <translation>The password may only contain printable ASCII characters.</translation>
    </message>
    <message>
        <source>Not enough addresses after %1 for %2 devices; nothing was changed.</source>
        <translation>Not enough addresses after %1 for %2 devices; nothing was changed.</translation>
    </message>
    <message>
        <source>ID:%1</source>
        <translation>ID:%1</translation>
    </message>
    <message>
        <source>Modify network parameter failed!</source>
        <translation>Modify network parameter failed!</translation>
    </message>
    <message>
        <source>Modify network parameter succeed, please reboot your device!</source>
        <translation>Modify network parameter succeed, please reboot your device!</translation>
    </message>
    <message>
        <source>Modify network parameter succeed.</source>
        <translation>Modify network parameter succeed.</translation>
    </message>
    <message>
        <source>Weak</source>
        <translation>Weak</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>Strong</source>
        <translation>Strong</translation>
    </message>
    <message>
        <source>The password can not be empty.</source>
        <translation>The password can not be empty.</translation>
    </message>
    <message>
        <source>The password you typed do not match.</source>
        <translation>The password you typed do not match.</translation>
    </message>
    <message>
        <source>The device is activated.</source>
        <translation>The device is activated.</translation>
    </message>
    <message>
        <source>Operation failed.</source>
        <translation>Operation failed.</translation>
    </message>
    <message>
        <source>No activate device.</source>
        <translation>No activate device.</translation>
    </message>
    <message>
        <source>Reset password succeed.</source>
        <translation>Reset password succeed.</translation>
    </message>
    <message>
        <source>Restore default password succeed.</source>
        <translation>Restore default password succeed.</translation>
    </message>
    <message>
        <source>Reset password failed.</source>
        <translation>Reset password failed.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Restore default password failed!</source>
        <translation>Restore default password failed!</translation>
    </message>
    <message>
        <source>Password cannot be empty.</source>
        <translation>Password cannot be empty.</translation>
    </message>
    <message>
        <source>The security code may only contain printable ASCII characters.</source>
        <translation>The security code may only contain printable ASCII characters.</translation>
    </message>
    <message>
        <source>File path cannot be empty.</source>
        <translation>File path cannot be empty.</translation>
    </message>
    <message>
        <source>Row error!</source>
        <translation>Row error!</translation>
    </message>
    <message>
        <source>Get key error.</source>
        <translation>Get key error.</translation>
    </message>
    <message>
        <source>Create device key file error.</source>
        <translation>Create device key file error.</translation>
    </message>
    <message>
        <source>DeviceKey.xml in this folder is a link; nothing was written.</source>
        <translation>DeviceKey.xml in this folder is a link; nothing was written.</translation>
    </message>
    <message>
        <source>Exported.</source>
        <translation>Exported.</translation>
    </message>
    <message>
        <source>The key file path is too long.</source>
        <translation>The key file path is too long.</translation>
    </message>
    <message>
        <source>Please import a device key file to reset the password.</source>
        <translation>Please import a device key file to reset the password.</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>Trust</source>
        <translation>Trust</translation>
    </message>
    <message>
        <source>How each device's identity is known</source>
        <translation>How each device's identity is known</translation>
    </message>
    <message>
        <source>Send the password anyway?</source>
        <translation>Send the password anyway?</translation>
    </message>
    <message>
        <source>Send the new password anyway?</source>
        <translation>Send the new password anyway?</translation>
    </message>
    <message>
        <source>Send the security code anyway?</source>
        <translation>Send the security code anyway?</translation>
    </message>
    <message>
        <source>Send the key file and the new password anyway?</source>
        <translation>Send the key file and the new password anyway?</translation>
    </message>
    <message>
        <source>Send the key file anyway?</source>
        <translation>Send the key file anyway?</translation>
    </message>
    <message>
        <source>ID %1: %2</source>
        <translation>ID %1: %2</translation>
    </message>
    <message>
        <source>Verified</source>
        <translation>Verified</translation>
    </message>
    <message>
        <source>Verified: maker certificate checked</source>
        <translation>Verified: maker certificate checked</translation>
    </message>
    <message>
        <source>Pinned</source>
        <translation>Pinned</translation>
    </message>
    <message>
        <source>Pinned: HTTPS certificate as at first contact</source>
        <translation>Pinned: HTTPS certificate as at first contact</translation>
    </message>
    <message>
        <source>Uncertified</source>
        <translation>Uncertified</translation>
    </message>
    <message>
        <source>Uncertified: found over ONVIF; cannot prove who it is</source>
        <translation>Uncertified: found over ONVIF; cannot prove who it is</translation>
    </message>
    <message>
        <source>Ambiguous</source>
        <translation>Ambiguous</translation>
    </message>
    <message>
        <source>Ambiguous: two devices claim this MAC or serial number; commands refused</source>
        <translation>Ambiguous: two devices claim this MAC or serial number; commands refused</translation>
    </message>
    <message>
        <source>Untrusted</source>
        <translation>Untrusted</translation>
    </message>
    <message>
        <source>Untrusted: no certificate of a trusted maker</source>
        <translation>Untrusted: no certificate of a trusted maker</translation>
    </message>
    <message>
        <source>It cannot prove who it is and sending to it was not agreed to; nothing was sent.</source>
        <translation>It cannot prove who it is and sending to it was not agreed to; nothing was sent.</translation>
    </message>
    <message>
        <source>Two devices claim this MAC or serial number; commands are refused and nothing was sent.</source>
        <translation>Two devices claim this MAC or serial number; commands are refused and nothing was sent.</translation>
    </message>
    <message>
        <source>Its HTTPS certificate is not the one seen at first contact; nothing was sent.</source>
        <translation>Its HTTPS certificate is not the one seen at first contact; nothing was sent.</translation>
    </message>
    <message>
        <source>It has no certificate of a trusted maker; nothing was sent.</source>
        <translation>It has no certificate of a trusted maker; nothing was sent.</translation>
    </message>
    <message>
        <source>Identity not verified</source>
        <translation>Identity not verified</translation>
    </message>
    <message>
        <source>This device cannot prove who it is (found over ONVIF, no maker certificate):</source>
        <translation>This device cannot prove who it is (found over ONVIF, no maker certificate):</translation>
    </message>
    <message>
        <source>%1 devices cannot prove who they are (found over ONVIF, no maker certificate):</source>
        <translation>%1 devices cannot prove who they are (found over ONVIF, no maker certificate):</translation>
    </message>
    <message>
        <source>ID %1   %2</source>
        <translation>ID %1   %2</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>No leaves them out; the other devices are changed either way.</source>
        <translation>No leaves them out; the other devices are changed either way.</translation>
    </message>
    <message>
        <source>New certificate</source>
        <translation>New certificate</translation>
    </message>
    <message>
        <source>This device presents a new HTTPS certificate, not the one seen at first contact:</source>
        <translation>This device presents a new HTTPS certificate, not the one seen at first contact:</translation>
    </message>
    <message>
        <source>%1 devices present a new HTTPS certificate, not the one seen at first contact:</source>
        <translation>%1 devices present a new HTTPS certificate, not the one seen at first contact:</translation>
    </message>
    <message>
        <source>Accept the new certificates? Only if these devices were replaced: otherwise another host may be answering in their place.</source>
        <translation>Accept the new certificates? Only if these devices were replaced: otherwise another host may be answering in their place.</translation>
    </message>
    <message>
        <source>Clock: in step with this computer</source>
        <translation>Clock: in step with this computer</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 h</translation>
    </message>
    <message>
        <source>%1 d %2 h</source>
        <translation>%1 d %2 h</translation>
    </message>
    <message>
        <source>%1 d</source>
        <translation>%1 d</translation>
    </message>
    <message>
        <source>Clock: %1 ahead of this computer</source>
        <translation>Clock: %1 ahead of this computer</translation>
    </message>
    <message>
        <source>Clock: %1 behind this computer</source>
        <translation>Clock: %1 behind this computer</translation>
    </message>
    <message>
        <source>Synchronize time</source>
        <translation>Synchronize time</translation>
    </message>
    <message>
        <source>Time synchronized.</source>
        <translation>Time synchronized.</translation>
    </message>
    <message>
        <source>Time synchronization failed!</source>
        <translation>Time synchronization failed!</translation>
    </message>
    <message>
        <source>Addresses or ranges to search</source>
        <translation>Addresses or ranges to search</translation>
    </message>
    <message>
        <source>Add by address or range</source>
        <translation>Add by address or range</translation>
    </message>
    <message>
        <source>Devices behind a router: their addresses, blocks such as 10.2.0.0/22 or ranges such as 10.3.0.10-10.3.0.99 (IPv4 or IPv6, at most a /16 each), separated by commas or spaces. Empty: the local network only.</source>
        <translation>Devices behind a router: their addresses, blocks such as 10.2.0.0/22 or ranges such as 10.3.0.10-10.3.0.99 (IPv4 or IPv6, at most a /16 each), separated by commas or spaces. Empty: the local network only.</translation>
    </message>
    <message>
        <source>Device password</source>
        <translation>Device password</translation>
    </message>
    <message>
        <source>The password of the selected devices:</source>
        <translation>The password of the selected devices:</translation>
    </message>
    <message>
        <source>A range may hold at most 65,536 addresses (a /16), and all ranges together at most 262,144.</source>
        <translation>A range may hold at most 65,536 addresses (a /16), and all ranges together at most 262,144.</translation>
    </message>
    <message>
        <source>This is not an address or a range.
Accepted: addresses, blocks (10.2.0.0/22) and ranges (10.3.0.10-10.3.0.99), IPv4 or IPv6.</source>
        <translation>This is not an address or a range.
Accepted: addresses, blocks (10.2.0.0/22) and ranges (10.3.0.10-10.3.0.99), IPv4 or IPv6.</translation>
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
        <translation>Online Devices</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Can not find Manual.</source>
        <translation>Can not find Manual.</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>Sure to close software</source>
        <translation>Sure to close software</translation>
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
        <translation>File Name:</translation>
    </message>
    <message>
        <source>Please select file path:</source>
        <translation>Please select file path:</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>The name is invalid</source>
        <translation>The name is invalid</translation>
    </message>
    <message>
        <source>The name contains illegal character</source>
        <translation>The name contains illegal character</translation>
    </message>
    <message>
        <source>Hint</source>
        <translation>Hint</translation>
    </message>
    <message>
        <source>The file name has been used; replace it?</source>
        <translation>The file name has been used; replace it?</translation>
    </message>
    <message>
        <source>Warn</source>
        <translation>Warn</translation>
    </message>
    <message>
        <source>Saving failed.</source>
        <translation>Saving failed.</translation>
    </message>
    <message>
        <source>Saved.</source>
        <translation>Saved.</translation>
    </message>
</context>
<context>
    <name>CPathComboBox</name>
    <message>
        <source>Select Directory</source>
        <translation>Select Directory</translation>
    </message>
</context>
<context>
    <name>CZeltProgressDialog</name>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Stopping...</source>
        <translation>Stopping...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
