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
</TS>
