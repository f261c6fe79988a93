#!/usr/bin/env bash
# Builds the protocol's further libFuzzer targets (clang) and runs each for a
# bounded time: the device's request handler, the SDK's handling of hellos
# and byes, the key-file readers, the ONVIF side (WS-Discovery datagrams,
# device-service answers); and the decoder once more on real
# messages. The seeds are real messages signed with the targets' fixed
# keys (fuzz_seeds writes them). FUZZ_TARGET_SECONDS overrides the default
# of 15 seconds a target.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build/fuzz
src=platform/zelt/src
fz=platform/zelt/fuzz
secs=${FUZZ_TARGET_SECONDS:-15}
mkdir -p "$out"
common=(-std=c++20 -g -O1 -I platform/zelt/include -I "$src" -I "$fz")
sodium=$(pkg-config --cflags --libs libsodium libxml-2.0 libcurl libcrypto libssl)
core=("$src/wire.cpp" "$src/crypto.cpp" "$src/xmlstrict.cpp" "$src/onvif.cpp")
engine=("$src/engine.cpp" "$src/engine_onvif.cpp" "$src/onvif_client.cpp" "$src/device.cpp" "$src/net.cpp" "$src/log.cpp" "$src/trust.cpp" "$src/pins.cpp")

clang++-14 "${common[@]}" -fsanitize=address,undefined "$fz/fuzz_seeds.cpp" "${core[@]}" "$src/device.cpp" $sodium -o "$out/fuzz_seeds"
"$out/fuzz_seeds" "$out/seeds"

build() { # target sources...
  local name=$1
  shift
  clang++-14 "${common[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined "$@" $sodium -lpthread -o "$out/$name"
}
build fuzz_device "$fz/fuzz_device.cpp" "${core[@]}" "$src/device.cpp"
build fuzz_hello "$fz/fuzz_hello.cpp" "${core[@]}" "${engine[@]}"
build fuzz_keyfile "$fz/fuzz_keyfile.cpp" "${core[@]}"
build fuzz_onvif "$fz/fuzz_onvif.cpp" "${core[@]}" "${engine[@]}"

fuzz() { # binary corpus seeds
  local log=$out/$(basename "$1").log rc=0
  "$1" -max_total_time="$secs" -max_len="${max_len:-1500}" -timeout=10 -print_final_stats=1 "$2" "$3" >"$log" 2>&1 || rc=$?
  grep -E 'stat::number_of_executed_units|stat::new_units_added' "$log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 40 "$log"
    echo "fuzz: $(basename "$1") found a fault (log: $log)" >&2
    return 1
  fi
}
for target in device hello keyfile onvif; do
  mkdir -p "$out/fuzz_$target-corpus"
  echo "-- fuzz_$target ($secs s)"
  max_len=1500
  [ "$target" = onvif ] && max_len=8192  # SOAP documents are larger than datagrams of ZELT
  fuzz "$out/fuzz_$target" "$out/fuzz_$target-corpus" "$out/seeds/$target"
done
if [ -x "$out/fuzz_decoder" ]; then
  mkdir -p "$out/corpus"
  echo "-- fuzz_decoder on real messages ($secs s)"
  fuzz "$out/fuzz_decoder" "$out/corpus" "$out/seeds/decoder"
fi
