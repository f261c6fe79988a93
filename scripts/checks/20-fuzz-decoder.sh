#!/usr/bin/env bash
# Runs the libFuzzer target of the ZELT datagram and command decoders (and
# the key-file and JSON readers) for a bounded time, built in the clang tree
# build/fuzz (platform/zelt/fuzz). FUZZ_SECONDS, else FUZZ_TARGET_SECONDS,
# overrides the default of 60 seconds.
set -euo pipefail
. "$(dirname "$0")/../lib/prelude.sh"
. platform/zelt/fuzz/fuzz-tree.sh
fuzz_build fuzz_decoder fuzz_seeds
fuzz_run fuzz_decoder "${FUZZ_SECONDS:-${FUZZ_TARGET_SECONDS:-60}}"
