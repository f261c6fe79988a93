#!/usr/bin/env bash
# Applies .clang-format to the C and C++ sources git tracks (or to the files
# given). --check only lists the files whose formatting differs and exits 1
# if there are any.
#   scripts/format.sh            format everything
#   scripts/format.sh --check    report only
#   scripts/format.sh FILE...    format these files
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h' '*.hpp')
fi
if [ "$check" -eq 0 ]; then
  "$clang_format" -i --style=file "${files[@]}"
  exit 0
fi
status=0
for f in "${files[@]}"; do
  if ! "$clang_format" --style=file --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "$f"
    status=1
  fi
done
exit "$status"
