#!/usr/bin/env bash
# Builds the ZELT decoder with its libFuzzer target (clang) and runs it for a
# bounded time. FUZZ_SECONDS overrides the default of 60.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build/fuzz
mkdir -p "$out/corpus"
src=platform/zelt/src
clang++-14 -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I platform/zelt/include -I "$src" \
  platform/zelt/fuzz/fuzz_decoder.cpp "$src/wire.cpp" "$src/crypto.cpp" "$src/xmlstrict.cpp" "$src/json.cpp" \
  $(pkg-config --cflags --libs libsodium) -o "$out/fuzz_decoder"
# Seed corpus: one valid inquiry; the fuzzer grows it from there, and the
# corpus is kept in build/fuzz/corpus between runs.
"$out/fuzz_decoder" -runs=0 "$out/corpus" >/dev/null 2>&1 || true
if [ -z "$(ls -A "$out/corpus")" ]; then
  printf 'ZT\x01\x01\x14\x00\x00\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\xf4\x01\x00\x00\x00\x00\x00\x00' > "$out/corpus/inquiry"
fi
"$out/fuzz_decoder" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=1500 -timeout=10 -print_final_stats=1 "$out/corpus" 2>&1 | tail -n 12
