#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (ASan + UBSan) and runs each for a
# fixed time on its seed corpus: `make fuzz` (FUZZ_SECONDS per reader, default
# 60). A crash, leak or hang stops the script with a failure; the finding is
# written as a crash-*, leak-* or timeout-* file into the work corpus folder.
set -euo pipefail
seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-build-fuzz}
if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ is needed (apt-get install clang libclang-rt-14-dev)" >&2
    exit 2
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTW_FUZZ=ON -DTW_SANITIZE=ON -DTW_WERROR=OFF -DTW_BUILD_BENCH=OFF >/dev/null
names=(twr times ops ws tree archive csv template rtdb pgcopy request)
cmake --build "$build" --target "${names[@]/#/fuzz_}"
for name in "${names[@]}"; do
    work="$build/fuzz-corpus/$name"
    mkdir -p "$work"
    echo "== fuzz_$name for ${seconds}s"
    log="$build/fuzz-$name.log"
    if (cd "$work" && "../../bin/fuzz_$name" -max_total_time="$seconds" -timeout=60 \
        -print_final_stats=1 . "../../../fuzz/corpus/$name") >"$log" 2>&1; then
        tail -n 5 "$log"
    else
        # The finding: the sanitizer's report and the input that caused it.
        grep -v '^#' "$log" | tail -n 40
        echo "fuzz_$name failed: the whole output is in $log" >&2
        exit 1
    fi
done
