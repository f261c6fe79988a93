#!/usr/bin/env bash
# Builds the Excel driver's SQL parser with its libFuzzer target (clang) and
# runs it for a bounded time. FUZZ_SQL_SECONDS overrides the default of 30.
set -euo pipefail
cd "$(dirname "$0")/../.."
command -v clang++-14 >/dev/null || { echo "fuzz: clang++-14 is missing (package clang; scripts/setup.sh)" >&2; exit 1; }
out=build/fuzz
mkdir -p "$out/corpus-sql"
src=platform/xlsodbc
( # the build lock of scripts/dev-build.sh: one build at a time on this machine
  flock 9
  clang++-14 -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I "$src" "$src/fuzz/fuzz_sql.cpp" "$src/xlssql.cpp" -o "$out/fuzz_sql"
) 9>/tmp/toolbay-build.lock
# Seed corpus: the CREATE TABLE and INSERT statements the export sends
# (21 columns, English and Chinese titles, a name with brackets), literal
# values and the export's connection string. The fuzzer grows it from there;
# what it finds is kept in build/fuzz/corpus-sql between runs.
"$out/fuzz_sql" -max_total_time="${FUZZ_SQL_SECONDS:-30}" -max_len=4096 -timeout=10 -print_final_stats=1 \
  "$out/corpus-sql" "$src/fuzz/seeds" 2>&1 | tail -n 12
