#!/usr/bin/env bash
# Registers the Excel workbook driver of the program directory ($1) with
# unixODBC under the name the export's connection string uses. Idempotent:
# an entry that already points at this driver is left alone, one pointing
# elsewhere is replaced. System-wide, so it needs root (as the run command
# has); ODBCSYSINI, when set, redirects it like every unixODBC tool.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$(cd "${1:?usage: $0 <program directory>}" && pwd)
driver=$bin/libtoolbayxls.so

if [ ! -f "$driver" ]; then
  echo "xlsodbc: $driver not built; Excel export will not work" >&2
  exit 0
fi
if ! command -v odbcinst >/dev/null; then
  echo "xlsodbc: odbcinst missing (scripts/setup.sh installs it)" >&2
  exit 1
fi
if [ -z "${ODBCSYSINI:-}" ] && [ "$(id -u)" -ne 0 ]; then
  echo "xlsodbc: registering the driver needs root; Excel export will fail until then" >&2
  exit 0
fi
"$root/platform/xlsodbc/odbc-register.sh" register "$driver"
echo "xlsodbc: \"Microsoft Excel Driver (*.xls)\" -> $driver"
