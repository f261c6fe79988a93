<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
    <context>
        <name>CBaseDialog</name>
        <message>
            <source>Yes</source>
            <translation>是</translation>
        </message>
        <message>
            <source>No</source>
            <translation>否</translation>
        </message>
        <message>
            <source>Online Devices</source>
            <translation>在线设备</translation>
        </message>
        <message>
            <source>Confirm</source>
            <translation>确定</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>取消</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>确定</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>关闭</translation>
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
            <translation>下一个标签页</translation>
        </message>
        <message>
            <source>Previous Tab</source>
            <translation>上一个标签页</translation>
        </message>
        <message>
            <source>Close Tab</source>
            <translation>关闭标签页</translation>
        </message>
        <message>
            <source>Detach Tab</source>
            <translation>分离标签页</translation>
        </message>
    </context>
    <context>
        <name>CControlPanelFrame</name>
        <message>
            <source>ControlPanelFrame</source>
            <translation>控制面板</translation>
        </message>
        <message>
            <source>Tool List</source>
            <translation>工具列表</translation>
        </message>
        <message>
            <source>Task Mode</source>
            <translation>任务模式</translation>
        </message>
        <message>
            <source>Zeltscan software:used to search the active online devices within your subnet and display dievice information.</source>
            <translation>Zeltscan 软件：用于搜索子网内的在线设备并显示设备信息。</translation>
        </message>
        <message>
            <source>Cam Count Planner:used to calculate the number of NVRS/HDVRS or IP Cameras.</source>
            <translation>摄像机数量规划：用于计算 NVR/HDVR 或网络摄像机的数量。</translation>
        </message>
        <message>
            <source>Storage Planner:calculate the recording time when the disk space is given and calculate the disk space when the recording time is given.</source>
            <translation>存储规划：已知磁盘空间时计算可录像时长，已知录像时长时计算所需磁盘空间。</translation>
        </message>
        <message>
            <source>Link Planner:calculate the bandwidth needed when the connection conditions is given and calculate the recommended encoding parameters when the bandwidth is given.</source>
            <translation>链路规划：已知连接条件时计算所需带宽，已知带宽时计算推荐的编码参数。</translation>
        </message>
        <message>
            <source>Sharpness Aid: adjust focus of the connected network camera.</source>
            <translation>清晰度辅助：调节已连接网络摄像机的聚焦。</translation>
        </message>
        <message>
            <source>Optics Picker: select a proper lens for the camera according to the actual needs.</source>
            <translation>镜头选型：根据实际需要为摄像机选择合适的镜头。</translation>
        </message>
        <message>
            <source>Bulk Settings:used to config the paramter of NVR,DVR and IP Cameras.</source>
            <translation>批量配置：用于配置 NVR、DVR 和网络摄像机的参数。</translation>
        </message>
        <message>
            <source>Task Planner:used to calculate the bandwidth,disk,the number of NVRS/HDVRS by task mode</source>
            <translation>任务规划：按任务模式计算带宽、磁盘容量以及 NVR/HDVR 的数量。</translation>
        </message>
        <message>
            <source>Archive Fetch software:used to back up videos from the remote DVR/NVR and DVS with SATA hard disk and IP Camera and Dome with SD card.</source>
            <translation>录像备份软件：用于从远程 DVR/NVR、带 SATA 硬盘的 DVS 以及带 SD 卡的网络摄像机和球机备份录像。</translation>
        </message>
        <message>
            <source>Clip Viewer Software:used to play back the record files from the Storage Sever and Encoding Server of Orvi client software.</source>
            <translation>录像回放软件：用于回放 Orvi 客户端软件的存储服务器和编码服务器上的录像文件。</translation>
        </message>
        <message>
            <source>Bulk Firmware software:used to upgrade one or many devices and  display the version information of the devices.</source>
            <translation>批量升级软件：用于升级一台或多台设备，并显示设备的版本信息。</translation>
        </message>
    </context>
    <context>
        <name>CDlgAbout</name>
        <message>
            <source>About</source>
            <translation>关于</translation>
        </message>
        <message>
            <source>Name:</source>
            <translation>名称：</translation>
        </message>
        <message>
            <source>TBX</source>
            <translation>TBX</translation>
        </message>
        <message>
            <source>Zeltscan Software</source>
            <translation>Zeltscan 软件</translation>
        </message>
        <message>
            <source>Version:</source>
            <translation>版本：</translation>
        </message>
        <message>
            <source>OK</source>
            <translation>确定</translation>
        </message>
        <message>
            <source> v1.1.0.2</source>
            <translation> v1.1.0.2</translation>
        </message>
        <message>
            <source> Build</source>
            <translation> 构建 </translation>
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
            <translation>清除文本</translation>
        </message>
        <message>
            <source>Filter</source>
            <translation>筛选</translation>
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
            <translation>%1不是一个有效项目。请指定介于1和223之间的数值。</translation>
        </message>
        <message>
            <source>%1不是一个有效项目。请指定介于0和255之间的数值。</source>
            <translation>%1不是一个有效项目。请指定介于0和255之间的数值。</translation>
        </message>
        <message>
            <source>Address, part %1 of 4</source>
            <translation>地址，第 %1 段（共 4 段）</translation>
        </message>
        <message>
            <source>Dot</source>
            <translation>点</translation>
        </message>
    </context>
    <context>
        <name>CRankButton</name>
        <message>
            <source>Low</source>
            <translation>弱</translation>
        </message>
        <message>
            <source>Middle</source>
            <translation>中</translation>
        </message>
        <message>
            <source>High</source>
            <translation>强</translation>
        </message>
    </context>
    <context>
        <name>CSearchLineEdit</name>
        <message>
            <source>Search...</source>
            <translation>搜索...</translation>
        </message>
        <message>
            <source>Search</source>
            <translation>搜索</translation>
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
            <translation>确认</translation>
        </message>
        <message>
            <source>Sure to close software</source>
            <translation>确定要关闭软件吗？</translation>
        </message>
        <message>
            <source>Info</source>
            <translation>提示</translation>
        </message>
        <message>
            <source>Can not find Manual.</source>
            <translation>找不到用户手册。</translation>
        </message>
    </context>
    <context>
        <name>CTabView</name>
        <message>
            <source>Tabs</source>
            <translation>标签页</translation>
        </message>
    </context>
    <context>
        <name>CValidateLineEdit</name>
        <message>
            <source>Input cannot contain any of the following characters:</source>
            <translation>输入内容不能包含以下字符：</translation>
        </message>
    </context>
    <context>
        <name>CValidateLineEditEx</name>
        <message>
            <source>Input cannot contain any of the following characters:</source>
            <translation>输入内容不能包含以下字符：</translation>
        </message>
    </context>
    <context>
        <name>CWindowTitle</name>
        <message>
            <source>Archive Fetch</source>
            <translation>录像备份</translation>
        </message>
        <message>
            <source>Open TBX-ZELT</source>
            <translation>打开 TBX-ZELT</translation>
        </message>
        <message>
            <source>Open TBX-CAMC</source>
            <translation>打开 TBX-CAMC</translation>
        </message>
        <message>
            <source>Clip Viewer</source>
            <translation>录像回放</translation>
        </message>
        <message>
            <source>Open Bulk Firmware</source>
            <translation>打开批量升级</translation>
        </message>
        <message>
            <source>Open Storage Planner</source>
            <translation>打开存储规划</translation>
        </message>
        <message>
            <source>Link Planner</source>
            <translation>链路规划</translation>
        </message>
        <message>
            <source>Sharpness Aid</source>
            <translation>清晰度辅助</translation>
        </message>
        <message>
            <source>Optics Picker</source>
            <translation>镜头选型</translation>
        </message>
        <message>
            <source>Bulk Settings</source>
            <translation>批量配置</translation>
        </message>
        <message>
            <source>Task Planner</source>
            <translation>任务规划</translation>
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
            <translation>全屏</translation>
        </message>
        <message>
            <source>&amp;View</source>
            <translation>视图(&amp;V)</translation>
        </message>
        <message>
            <source>Control Panel</source>
            <translation>控制面板</translation>
        </message>
        <message>
            <source>&amp;Tools</source>
            <translation>工具(&amp;T)</translation>
        </message>
        <message>
            <source>&amp;Help</source>
            <translation>帮助(&amp;H)</translation>
        </message>
        <message>
            <source>About</source>
            <translation>关于</translation>
        </message>
        <message>
            <source>ZELT</source>
            <translation>ZELT</translation>
        </message>
        <message>
            <source>Minimize</source>
            <translation>最小化</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>关闭</translation>
        </message>
        <message>
            <source>Window Size</source>
            <translation>窗口大小</translation>
        </message>
        <message>
            <source>Menu</source>
            <translation>菜单</translation>
        </message>
        <message>
            <source>Restore</source>
            <translation>还原</translation>
        </message>
        <message>
            <source>Maximize</source>
            <translation>最大化</translation>
        </message>
    </context>
    <context>
        <name>TBX</name>
        <message>
            <source>Control Panel</source>
            <translation>控制面板</translation>
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
            <translation>软件已在运行。</translation>
        </message>
        <message>
            <source>Hint</source>
            <translation>提示</translation>
        </message>
        <message>
            <source>The least resolution is 1024*768.</source>
            <translation>屏幕分辨率至少为 1024*768。</translation>
        </message>
    </context>
</TS>
