#!/usr/bin/env bash
# Re-extracts the shell's texts with lupdate and fills in their translations
# (fill_ts.py). Run by hand after changing a user-visible text, then commit
# the .ts files; the build only compiles them, so it never overwrites them.
#   Tools_*.ts    the shell and its toolkit   -> translations/Tools_*.qm
#   Toolkit_*.ts  the toolkit alone, merged with Qt's own dialog texts
#                                              -> translations/qt_*_CN.qm
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
lupdate=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
cd "$root"

shell_dirs=(toolframe toolkit)
toolkit_dirs=(toolkit)
opts=(-no-obsolete -locations none -source-language en -extensions cpp,h)

"$lupdate" "${opts[@]}" -target-language en "${shell_dirs[@]}" -ts "$here/Tools_en.ts"
"$lupdate" "${opts[@]}" -target-language zh_CN "${shell_dirs[@]}" -ts "$here/Tools_zh.ts"
"$lupdate" "${opts[@]}" -target-language en "${toolkit_dirs[@]}" -ts "$here/Toolkit_en.ts"
"$lupdate" "${opts[@]}" -target-language zh_CN "${toolkit_dirs[@]}" -ts "$here/Toolkit_zh.ts"

/usr/bin/python3 "$here/fill_ts.py" en "$here/Tools_en.ts" "$here/Toolkit_en.ts"
/usr/bin/python3 "$here/fill_ts.py" zh "$here/Tools_zh.ts" "$here/Toolkit_zh.ts"
