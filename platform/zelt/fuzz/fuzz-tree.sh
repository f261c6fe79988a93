# Sourced by scripts/checks/20-fuzz-decoder.sh and 21-fuzz-protocol.sh,
# after scripts/lib/prelude.sh: the clang tree build/fuzz, where the fuzz
# targets of CMakeLists.txt here are libFuzzer programs (ASan + UBSan, -O1,
# assertions and lock checks on), and a bounded run of one of them.
fuzz_tree=build/fuzz

# Configures the tree once and builds the targets named, under the build lock.
fuzz_build() { # targets...
  command -v clang++-14 >/dev/null || {
    echo "fuzz: clang++-14 is missing (package clang; scripts/setup.sh)" >&2
    return 1
  }
  if [ ! -f "$fuzz_tree/build.ninja" ]; then
    (
      flock 9
      cmake -S . -B "$fuzz_tree" -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
        -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS=-O1 -DCMAKE_CXX_FLAGS=-O1 -DTOOLBAY_SANITIZER=address \
        -DTOOLBAY_BUILD_TESTS=OFF >/dev/null
    ) 9>/tmp/toolbay-build.lock
  fi
  toolbay_build "$fuzz_tree" --target "$@"
}

# Runs a target for a bounded time on its corpus (kept in build/fuzz between
# runs) and its seeds, written afresh by fuzz_seeds. Prints the fuzzer's
# figures; on a fault the end of its log, and fails.
fuzz_run() { # target seconds [max_len]
  local name=$1 secs=$2 max_len=${3:-1500} rc=0
  local bin=$fuzz_tree/fuzz-bin/$name corpus=$fuzz_tree/$name-corpus log=$fuzz_tree/$name.log
  rm -rf "$fuzz_tree/seeds"
  "$fuzz_tree/fuzz-bin/fuzz_seeds" "$fuzz_tree/seeds"
  mkdir -p "$corpus"
  echo "-- $name ($secs s)"
  "$bin" -max_total_time="$secs" -max_len="$max_len" -timeout=10 -print_final_stats=1 \
    "$corpus" "$fuzz_tree/seeds/${name#fuzz_}" >"$log" 2>&1 || rc=$?
  grep -E 'stat::number_of_executed_units|stat::new_units_added' "$log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 40 "$log"
    echo "fuzz: $name found a fault (log: $log)" >&2
    return 1
  fi
}
