#!/usr/bin/env bash
# Runs the protocol's further libFuzzer targets for a bounded time each: the
# device's request handler, the SDK's handling of hellos and byes, the
# key-file readers, the ONVIF side (WS-Discovery datagrams, device-service
# answers). Built in the clang tree build/fuzz (platform/zelt/fuzz); the
# seeds are real messages signed with the targets' fixed keys.
# FUZZ_TARGET_SECONDS overrides the default of 15 seconds a target.
set -euo pipefail
. "$(dirname "$0")/../lib/prelude.sh"
. platform/zelt/fuzz/fuzz-tree.sh
secs=${FUZZ_TARGET_SECONDS:-15}
fuzz_build fuzz_device fuzz_hello fuzz_keyfile fuzz_onvif fuzz_seeds
for target in fuzz_device fuzz_hello fuzz_keyfile; do
  fuzz_run "$target" "$secs"
done
fuzz_run fuzz_onvif "$secs" 8192 # SOAP documents are larger than ZELT datagrams
