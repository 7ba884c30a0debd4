#!/usr/bin/env bash
# make fuzz: builds the fuzzers into build-fuzz/ and runs each for FUZZ_SECONDS.
# Fails on any crash, sanitizer report, timeout or leak.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_BUILD:-$top/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
cmake -S "$top/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j "$(nproc)"
"$out/make_seeds" "$out/seeds"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in ${FUZZ_TARGETS:-fuzz_lqd fuzz_csv fuzz_ini fuzz_output fuzz_snirf fuzz_edf}; do
    corpus="$out/corpus/$target"
    mkdir -p "$corpus" "$out/findings/$target"
    dict="$top/fuzz/recording.dict"
    [ "$target" = fuzz_ini ] && dict="$top/fuzz/ini.dict"
    echo "== $target: ${seconds}s"
    # Inputs that once found a fault stay in the seed set.
    seeds=("$out/seeds/$target")
    [ -d "$top/fuzz/regressions/$target" ] && seeds+=("$top/fuzz/regressions/$target")
    flags=(-dict="$dict" -timeout=60 -rss_limit_mb=2560 -max_len=65536 -print_final_stats=1
        -artifact_prefix="$out/findings/$target/")
    if ! "$out/$target" "$corpus" "${seeds[@]}" "${flags[@]}" -max_total_time="$seconds" \
            2>"$out/$target.log"; then
        status=1
        echo "$target: FAILED, see $out/$target.log and $out/findings/$target/"
    fi
    grep -E "stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|DONE|Done [0-9]+ runs" \
        "$out/$target.log" | sed "s/^/  /" || true
    # The fuzzing ran in a small store; every input kept, and those that once found a fault,
    # are read once more at the viewer's capacity (-runs=0 runs the corpora and stops).
    [ "$target" = fuzz_ini ] && continue
    if ! FUZZ_CAPACITY=345600 "$out/$target" "$corpus" "${seeds[@]}" "${flags[@]}" -runs=0 \
            2>"$out/$target.full.log"; then
        status=1
        echo "$target at full capacity: FAILED, see $out/$target.full.log"
    fi
    grep -E "INITED" "$out/$target.full.log" | sed "s/^/  full capacity: /" || true
done
exit $status
