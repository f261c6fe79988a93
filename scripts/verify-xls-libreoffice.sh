#!/usr/bin/env bash
# Cross-checks workbooks written by the Excel ODBC driver with LibreOffice
# (headless), a reader independent of ours and of xlrd. Too heavy for CI,
# so it is run by hand: installs LibreOffice Calc (no GUI) if missing,
# builds the driver in build/dev, writes workbooks through QODBC (the
# export's statements, 21 columns) and through isql (Chinese sheet and
# cells, a header-only table), converts each to CSV and flat ODS and
# compares sheet name and every cell with xlrd's reading and with the
# expected content.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if ! command -v soffice >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "verify-xls: LibreOffice is missing; run as root to install it" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends libreoffice-calc-nogui ||
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends libreoffice-calc-nogui; }
fi

scripts/dev-build.sh toolbayxls xlsodbc_bench >/dev/null
export ODBCSYSINI=$root/build/dev/odbc
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
conn() { # name -> the export's connection string for $work/name.xls
  printf "DRIVER={Microsoft Excel Driver (*.xls)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;CREATE_DB=\"%s.xls\";DBQ=%s/%s.xls" "$1" "$work" "$1"
}

# Through QODBC, as the export does it.
build/dev/tests-bin/xlsodbc_bench 300 "$work"

# Through isql: Chinese names and cells, an empty text, a header-only table.
isql "$(conn 设备列表)" -k -b <<'SQL'
CREATE TABLE [设备列表] ([序号] char(64), [IP地址] char(64), [设备名称] char(64))
INSERT INTO [设备列表] ("序号","IP地址","设备名称")VALUES('001', '192.168.1.64', '前门摄像机')
INSERT INTO [设备列表] ("序号","IP地址","设备名称")VALUES('002', '192.168.1.65', '')
INSERT INTO [设备列表] ("序号","IP地址","设备名称")VALUES('003', '10.0.0.7', 'Ünïcödé, "quoted"')

SQL
isql "$(conn empty)" -k -b <<'SQL'
CREATE TABLE [empty] ([IP] char(64), [MAC] char(64))

SQL

cat >"$work/expected.json" <<'JSON'
{
  "设备列表.xls": {"sheet": "设备列表", "rows": [["序号", "IP地址", "设备名称"],
                   ["001", "192.168.1.64", "前门摄像机"], ["002", "192.168.1.65", ""],
                   ["003", "10.0.0.7", "Ünïcödé, \"quoted\""]]},
  "empty.xls": {"sheet": "empty", "rows": [["IP", "MAC"]]},
  "xlsodbc-bench.xls": {"sheet": "xlsodbc-bench", "nrows": 301}
}
JSON

mkdir -p "$work/lo"
for f in "$work"/*.xls; do
  # 44,34,76: comma, double quote, UTF-8.
  soffice -env:UserInstallation="file://$work/profile" --headless \
    --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir "$work/lo" "$f" >/dev/null 2>&1
  soffice -env:UserInstallation="file://$work/profile" --headless \
    --convert-to fods --outdir "$work/lo" "$f" >/dev/null 2>&1
done

/usr/bin/python3 - "$work" <<'PY'
import csv, json, os, sys
import xml.etree.ElementTree as ET
import xlrd

work = sys.argv[1]
expected = json.load(open(os.path.join(work, "expected.json"), encoding="utf-8"))
NS = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
      "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0"}
failures = 0

def trim(rows):
    out = [list(r) for r in rows]
    for r in out:
        while r and r[-1] == "":
            r.pop()
    while out and not out[-1]:
        out.pop()
    return out

for name, exp in expected.items():
    path = os.path.join(work, name)
    base = os.path.splitext(name)[0]
    book = xlrd.open_workbook(path)
    sh = book.sheet_by_index(0)
    xl = trim([[str(c.value) for c in sh.row(r)] for r in range(sh.nrows)])
    with open(os.path.join(work, "lo", base + ".csv"), encoding="utf-8", newline="") as f:
        lo = trim(list(csv.reader(f)))
    tables = ET.parse(os.path.join(work, "lo", base + ".fods")).getroot().findall(".//table:table", NS)
    lo_names = [t.get("{%s}name" % NS["table"]) for t in tables]
    problems = []
    if lo_names != [exp["sheet"]]:
        problems.append("LibreOffice sheets %r, expected [%r]" % (lo_names, exp["sheet"]))
    if sh.name != exp["sheet"]:
        problems.append("xlrd sheet %r" % sh.name)
    if lo != xl:
        problems.append("LibreOffice and xlrd cells differ")
    if "rows" in exp and lo != trim(exp["rows"]):
        problems.append("cells %r, expected %r" % (lo[:5], exp["rows"][:5]))
    if "nrows" in exp and len(lo) != exp["nrows"]:
        problems.append("%d rows, expected %d" % (len(lo), exp["nrows"]))
    status = "ok" if not problems else "FAILED: " + "; ".join(problems)
    print("%-20s sheet %-14s %4d rows x %2d columns  %s" % (name, lo_names[0] if lo_names else "-", len(lo),
                                                          max((len(r) for r in lo), default=0), status))
    failures += bool(problems)
sys.exit(1 if failures else 0)
PY
echo "verify-xls: LibreOffice $(soffice --version 2>/dev/null | awk '{print $2; exit}') reads the workbooks as written"
