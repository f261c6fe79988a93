#!/bin/sh
# Registers the Excel workbook driver with unixODBC, or removes its entry,
# under the name the device search's export connects with.
#   odbc-register.sh register DRIVER     adds or repoints the entry (idempotent)
#   odbc-register.sh unregister DRIVER   removes the entry if it points at DRIVER
# ODBCSYSINI, when set, redirects it like every unixODBC tool.
set -e

name='Microsoft Excel Driver (*.xls)'
action=${1:-}
driver=${2:-}
if [ -z "$driver" ] || { [ "$action" != register ] && [ "$action" != unregister ]; }; then
    echo "usage: $0 register|unregister DRIVER" >&2
    exit 2
fi

registered() {
    odbcinst -q -d -n "$name" 2>/dev/null | sed -n 's/^Driver[[:space:]]*=[[:space:]]*//p' || true
}

# odbcinst -u only counts usage down: repeat until the section is gone.
remove_entry() {
    i=0
    while [ $i -lt 50 ] && odbcinst -q -d -n "$name" >/dev/null 2>&1; do
        odbcinst -u -d -n "$name" >/dev/null 2>&1 || break
        i=$((i + 1))
    done
}

current=$(registered)
case $action in
register)
    [ "$current" = "$driver" ] && exit 0
    # An entry pointing elsewhere (another build's driver) is replaced.
    remove_entry
    odbcinst -i -d -r >/dev/null <<INI
[$name]
Description=Excel 97-2003 workbook writer
Driver=$driver
FileUsage=1
INI
    ;;
unregister)
    # Someone else's entry of that name stays.
    [ "$current" = "$driver" ] && remove_entry
    ;;
esac
exit 0
