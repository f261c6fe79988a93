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
name='Microsoft Excel Driver (*.xls)'

if [ ! -f "$driver" ]; then
  echo "xlsodbc: $driver not built; Excel export will not work" >&2
  exit 0
fi
if ! command -v odbcinst >/dev/null; then
  echo "xlsodbc: odbcinst missing (scripts/setup.sh installs it)" >&2
  exit 1
fi

current=$(odbcinst -q -d -n "$name" 2>/dev/null | sed -n 's/^Driver[[:space:]]*=[[:space:]]*//p' || true)
if [ "$current" = "$driver" ]; then
  exit 0
fi
if [ -z "${ODBCSYSINI:-}" ] && [ "$(id -u)" -ne 0 ]; then
  echo "xlsodbc: registering the driver needs root; Excel export will fail until then" >&2
  exit 0
fi

# A stale entry (another build's path) goes completely: odbcinst -u only
# counts usage down, so repeat until the section is gone.
for _ in $(seq 1 50); do
  odbcinst -q -d -n "$name" >/dev/null 2>&1 || break
  odbcinst -u -d -n "$name" >/dev/null 2>&1 || break
done

template=$(mktemp)
trap 'rm -f "$template"' EXIT
sed "s|@XLSODBC_DRIVER@|$driver|" "$root/platform/xlsodbc/driver-registration.template" >"$template"
odbcinst -i -d -f "$template" >/dev/null
echo "xlsodbc: registered \"$name\" -> $driver"
