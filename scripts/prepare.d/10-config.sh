#!/usr/bin/env bash
# Writes a default Config.xml enabling every tool whose library is installed
# in the program directory, unless the user already has one.
set -euo pipefail
bin=$1
[ -f "$bin/Config.xml" ] && exit 0
declare -A libs=(
  [2]=libZeltscan.so [3]=libCamCountPlanner.so [4]=libStoragePlanner.so [5]=libLinkPlanner.so
  [6]=libSharpnessAid.so [7]=libOpticsPicker.so [8]=libBulkSettings.so [9]=libTaskPlanner.so
  [10]=libArchiveFetch.so [11]=libClipViewer.so [12]=libBulkFirmware.so [13]=libBulkSetup.so
  [14]=libAddressService.so
)
ids=()
for id in $(seq 2 14); do
  [ -f "$bin/${libs[$id]}" ] && ids+=("$id")
done
list=$(IFS=,; echo "${ids[*]}")
encoded=$(printf '%s' "$list" | base64 -w0)
cat > "$bin/Config.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Config>
  <Tools>$encoded</Tools>
</Config>
XML
echo "prepare: wrote $bin/Config.xml enabling tools: ${list:-none}"
