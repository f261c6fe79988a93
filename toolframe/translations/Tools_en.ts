<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
    <context>
        <name>CBaseDialog</name>
        <message>
            <source>Yes</source>
            <translation>Yes</translation>
        </message>
        <message>
            <source>No</source>
            <translation>No</translation>
        </message>
        <message>
            <source>Online Devices</source>
            <translation>Online Devices</translation>
        </message>
        <message>
            <source>Confirm</source>
            <translation>Confirm</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>Cancel</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Close</translation>
        </message>
        <message>
            <source>CIF</source>
            <translation>CIF</translation>
        </message>
        <message>
            <source>4CIF</source>
            <translation>4CIF</translation>
        </message>
    </context>
    <context>
        <name>CBaseDragFrame</name>
        <message>
            <source>Next Tab</source>
            <translation>Next Tab</translation>
        </message>
        <message>
            <source>Previous Tab</source>
            <translation>Previous Tab</translation>
        </message>
        <message>
            <source>Close Tab</source>
            <translation>Close Tab</translation>
        </message>
        <message>
            <source>Detach Tab</source>
            <translation>Detach Tab</translation>
        </message>
    </context>
    <context>
        <name>CControlPanelFrame</name>
        <message>
            <source>ControlPanelFrame</source>
            <translation>ControlPanelFrame</translation>
        </message>
        <message>
            <source>Tool List</source>
            <translation>Tool List</translation>
        </message>
        <message>
            <source>Task Mode</source>
            <translation>Task Mode</translation>
        </message>
        <message>
            <source>Zeltscan software:used to search the active online devices within your subnet and display dievice information.</source>
            <translation>Zeltscan software:used to search the active online devices within your subnet and display dievice information.</translation>
        </message>
        <message>
            <source>Cam Count Planner:used to calculate the number of NVRS/HDVRS or IP Cameras.</source>
            <translation>Cam Count Planner:used to calculate the number of NVRS/HDVRS or IP Cameras.</translation>
        </message>
        <message>
            <source>Storage Planner:calculate the recording time when the disk space is given and calculate the disk space when the recording time is given.</source>
            <translation>Storage Planner:calculate the recording time when the disk space is given and calculate the disk space when the recording time is given.</translation>
        </message>
        <message>
            <source>Link Planner:calculate the bandwidth needed when the connection conditions is given and calculate the recommended encoding parameters when the bandwidth is given.</source>
            <translation>Link Planner:calculate the bandwidth needed when the connection conditions is given and calculate the recommended encoding parameters when the bandwidth is given.</translation>
        </message>
        <message>
            <source>Sharpness Aid: adjust focus of the connected network camera.</source>
            <translation>Sharpness Aid: adjust focus of the connected network camera.</translation>
        </message>
        <message>
            <source>Optics Picker: select a proper lens for the camera according to the actual needs.</source>
            <translation>Optics Picker: select a proper lens for the camera according to the actual needs.</translation>
        </message>
        <message>
            <source>Bulk Settings:used to config the paramter of NVR,DVR and IP Cameras.</source>
            <translation>Bulk Settings:used to config the paramter of NVR,DVR and IP Cameras.</translation>
        </message>
        <message>
            <source>Task Planner:used to calculate the bandwidth,disk,the number of NVRS/HDVRS by task mode</source>
            <translation>Task Planner:used to calculate the bandwidth,disk,the number of NVRS/HDVRS by task mode</translation>
        </message>
        <message>
            <source>Archive Fetch software:used to back up videos from the remote DVR/NVR and DVS with SATA hard disk and IP Camera and Dome with SD card.</source>
            <translation>Archive Fetch software:used to back up videos from the remote DVR/NVR and DVS with SATA hard disk and IP Camera and Dome with SD card.</translation>
        </message>
        <message>
            <source>Clip Viewer Software:used to play back the record files from the Storage Sever and Encoding Server of Orvi client software.</source>
            <translation>Clip Viewer Software:used to play back the record files from the Storage Sever and Encoding Server of Orvi client software.</translation>
        </message>
        <message>
            <source>Bulk Firmware software:used to upgrade one or many devices and  display the version information of the devices.</source>
            <translation>Bulk Firmware software:used to upgrade one or many devices and  display the version information of the devices.</translation>
        </message>
    </context>
    <context>
        <name>CDlgAbout</name>
        <message>
            <source>About</source>
            <translation>About</translation>
        </message>
        <message>
            <source>Name:</source>
            <translation>Name:</translation>
        </message>
        <message>
            <source>TBX</source>
            <translation>TBX</translation>
        </message>
        <message>
            <source>Zeltscan Software</source>
            <translation>Zeltscan Software</translation>
        </message>
        <message>
            <source>Version:</source>
            <translation>Version:</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source> v1.1.0.2</source>
            <translation> v1.1.0.2</translation>
        </message>
        <message>
            <source> Build</source>
            <translation> Build</translation>
        </message>
        <message>
            <source> v2.00.00.01</source>
            <translation> v2.00.00.01</translation>
        </message>
    </context>
    <context>
        <name>CFilterLineEdit</name>
        <message>
            <source>Clear Text</source>
            <translation>Clear Text</translation>
        </message>
        <message>
            <source>Filter</source>
            <translation>Filter</translation>
        </message>
    </context>
    <context>
        <name>CIpLineEdit</name>
        <message>
            <source>.</source>
            <translation>.</translation>
        </message>
        <message>
            <source>%1不是一个有效项目。请指定介于1和223之间的数值。</source>
            <translation>%1 is not a valid entry. Please specify a value between 1 and 223.</translation>
        </message>
        <message>
            <source>%1不是一个有效项目。请指定介于0和255之间的数值。</source>
            <translation>%1 is not a valid entry. Please specify a value between 0 and 255.</translation>
        </message>
        <message>
            <source>Address, part %1 of 4</source>
            <translation>Address, part %1 of 4</translation>
        </message>
        <message>
            <source>Dot</source>
            <translation>Dot</translation>
        </message>
    </context>
    <context>
        <name>CRankButton</name>
        <message>
            <source>Low</source>
            <translation>Low</translation>
        </message>
        <message>
            <source>Middle</source>
            <translation>Middle</translation>
        </message>
        <message>
            <source>High</source>
            <translation>High</translation>
        </message>
    </context>
    <context>
        <name>CSearchLineEdit</name>
        <message>
            <source>Search...</source>
            <translation>Search...</translation>
        </message>
        <message>
            <source>Search</source>
            <translation>Search</translation>
        </message>
    </context>
    <context>
        <name>CTBX</name>
        <message>
            <source>TBX</source>
            <translation>TBX</translation>
        </message>
        <message>
            <source>Confirm</source>
            <translation>Confirm</translation>
        </message>
        <message>
            <source>Sure to close software</source>
            <translation>Sure to close software</translation>
        </message>
        <message>
            <source>Info</source>
            <translation>Info</translation>
        </message>
        <message>
            <source>Can not find Manual.</source>
            <translation>Can not find Manual.</translation>
        </message>
    </context>
    <context>
        <name>CTabView</name>
        <message>
            <source>Tabs</source>
            <translation>Tabs</translation>
        </message>
    </context>
    <context>
        <name>CValidateLineEdit</name>
        <message>
            <source>Input cannot contain any of the following characters:</source>
            <translation>Input cannot contain any of the following characters:</translation>
        </message>
    </context>
    <context>
        <name>CValidateLineEditEx</name>
        <message>
            <source>Input cannot contain any of the following characters:</source>
            <translation>Input cannot contain any of the following characters:</translation>
        </message>
    </context>
    <context>
        <name>CWindowTitle</name>
        <message>
            <source>Archive Fetch</source>
            <translation>Archive Fetch</translation>
        </message>
        <message>
            <source>Open TBX-ZELT</source>
            <translation>Open TBX-ZELT</translation>
        </message>
        <message>
            <source>Open TBX-CAMC</source>
            <translation>Open TBX-CAMC</translation>
        </message>
        <message>
            <source>Clip Viewer</source>
            <translation>Clip Viewer</translation>
        </message>
        <message>
            <source>Open Bulk Firmware</source>
            <translation>Open Bulk Firmware</translation>
        </message>
        <message>
            <source>Open Storage Planner</source>
            <translation>Open Storage Planner</translation>
        </message>
        <message>
            <source>Link Planner</source>
            <translation>Link Planner</translation>
        </message>
        <message>
            <source>Sharpness Aid</source>
            <translation>Sharpness Aid</translation>
        </message>
        <message>
            <source>Optics Picker</source>
            <translation>Optics Picker</translation>
        </message>
        <message>
            <source>Bulk Settings</source>
            <translation>Bulk Settings</translation>
        </message>
        <message>
            <source>Task Planner</source>
            <translation>Task Planner</translation>
        </message>
        <message>
            <source>TBX</source>
            <translation>TBX</translation>
        </message>
        <message>
            <source>1024*768</source>
            <translation>1024*768</translation>
        </message>
        <message>
            <source>1280*1024</source>
            <translation>1280*1024</translation>
        </message>
        <message>
            <source>Full Screen</source>
            <translation>Full Screen</translation>
        </message>
        <message>
            <source>&amp;View</source>
            <translation>&amp;View</translation>
        </message>
        <message>
            <source>Control Panel</source>
            <translation>Control Panel</translation>
        </message>
        <message>
            <source>&amp;Tools</source>
            <translation>&amp;Tools</translation>
        </message>
        <message>
            <source>&amp;Help</source>
            <translation>&amp;Help</translation>
        </message>
        <message>
            <source>About</source>
            <translation>About</translation>
        </message>
        <message>
            <source>ZELT</source>
            <translation>ZELT</translation>
        </message>
        <message>
            <source>Minimize</source>
            <translation>Minimize</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Close</translation>
        </message>
        <message>
            <source>Window Size</source>
            <translation>Window Size</translation>
        </message>
        <message>
            <source>Menu</source>
            <translation>Menu</translation>
        </message>
        <message>
            <source>Restore</source>
            <translation>Restore</translation>
        </message>
        <message>
            <source>Maximize</source>
            <translation>Maximize</translation>
        </message>
    </context>
    <context>
        <name>TBX</name>
        <message>
            <source>Control Panel</source>
            <translation>Control Panel</translation>
        </message>
        <message>
            <source>TBX-ARCH</source>
            <translation>TBX-ARCH</translation>
        </message>
        <message>
            <source>TBX-ZELT</source>
            <translation>TBX-ZELT</translation>
        </message>
        <message>
            <source>TBX-CAMC</source>
            <translation>TBX-CAMC</translation>
        </message>
        <message>
            <source>TBX-CLIP</source>
            <translation>TBX-CLIP</translation>
        </message>
        <message>
            <source>TBX-FWUP</source>
            <translation>TBX-FWUP</translation>
        </message>
        <message>
            <source>TBX-STOR</source>
            <translation>TBX-STOR</translation>
        </message>
        <message>
            <source>TBX-LINK</source>
            <translation>TBX-LINK</translation>
        </message>
        <message>
            <source>TBX-FOCA</source>
            <translation>TBX-FOCA</translation>
        </message>
        <message>
            <source>TBX-OPTK</source>
            <translation>TBX-OPTK</translation>
        </message>
        <message>
            <source>TBX-BULK</source>
            <translation>TBX-BULK</translation>
        </message>
        <message>
            <source>TBX-TASK</source>
            <translation>TBX-TASK</translation>
        </message>
    </context>
    <context>
        <name>main</name>
        <message>
            <source>TBX</source>
            <translation>TBX</translation>
        </message>
        <message>
            <source>Software is already running.</source>
            <translation>Software is already running.</translation>
        </message>
        <message>
            <source>Hint</source>
            <translation>Hint</translation>
        </message>
        <message>
            <source>The least resolution is 1024*768.</source>
            <translation>The least resolution is 1024*768.</translation>
        </message>
    </context>
</TS>
