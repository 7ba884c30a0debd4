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
for target in fuzz_lqd fuzz_csv fuzz_ini fuzz_output; do
    corpus="$out/corpus/$target"
    mkdir -p "$corpus" "$out/findings/$target"
    dict="$top/fuzz/recording.dict"
    [ "$target" = fuzz_ini ] && dict="$top/fuzz/ini.dict"
    echo "== $target: ${seconds}s"
    # Inputs that once found a fault stay in the seed set.
    seeds=("$out/seeds/$target")
    [ -d "$top/fuzz/regressions/$target" ] && seeds+=("$top/fuzz/regressions/$target")
    if ! "$out/$target" "$corpus" "${seeds[@]}" -dict="$dict" -max_total_time="$seconds" \
            -timeout=60 -rss_limit_mb=2560 -max_len=65536 -print_final_stats=1 \
            -artifact_prefix="$out/findings/$target/" 2>"$out/$target.log"; then
        status=1
        echo "$target: FAILED, see $out/$target.log and $out/findings/$target/"
    fi
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb|Done [0-9]+ runs" "$out/$target.log" | sed "s/^/  /" || true
done
exit $status
