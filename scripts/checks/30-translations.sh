#!/usr/bin/env bash
# The committed shell translations against the sources: lupdate runs on
# scratch copies of the .ts files, and any text of the shell or its toolkit
# that the committed files lack (new, so without a translation) fails the
# check. Fix: toolframe/translations/update_ts.sh, then commit the .ts files.
set -euo pipefail
cd "$(dirname "$0")/../.."
lupdate=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
src=toolframe/translations
cp "$src"/Tools_zh.ts "$src"/Toolkit_zh.ts zelt/translations/ZELT_zh.ts "$tmp"/
opts=(-locations none -source-language en -target-language zh_CN -extensions cpp,h)
"$lupdate" -silent "${opts[@]}" toolframe toolkit -ts "$tmp/Tools_zh.ts"
"$lupdate" -silent "${opts[@]}" toolkit -ts "$tmp/Toolkit_zh.ts"
"$lupdate" -silent "${opts[@]}" -extensions cpp,h,ui zelt -ts "$tmp/ZELT_zh.ts" # the panel's form is a .ui file
/usr/bin/python3 - "$tmp/Tools_zh.ts" "$tmp/Toolkit_zh.ts" "$tmp/ZELT_zh.ts" <<'PY'
import sys
import xml.etree.ElementTree as ET
bad = []
for path in sys.argv[1:]:
    for ctx in ET.parse(path).getroot().iter("context"):
        name = ctx.findtext("name")
        for msg in ctx.iter("message"):
            tr = msg.find("translation")
            kind = tr.get("type") if tr is not None else "unfinished"
            if kind == "unfinished" or not (tr.text or "").strip():
                bad.append(f"{path.rsplit('/', 1)[1]}: {name}: {msg.findtext('source')!r}")
            elif kind in ("obsolete", "vanished"):
                print(f"translations: no longer in the sources: {name}: {msg.findtext('source')!r}")
if bad:
    print("translations: texts without a translation (shell and toolkit: run toolframe/translations/update_ts.sh;")
    print("  device-search tool: lupdate zelt -ts zelt/translations/ZELT_*.ts and translate):")
    print("\n".join("  " + b for b in bad))
    sys.exit(1)
print("translations: every text of the shell, its toolkit and the device-search tool is translated")
PY
