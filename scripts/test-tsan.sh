#!/usr/bin/env bash
# `make test-tsan`: the threaded parts under ThreadSanitizer: the report's
# two-part deflate (the report file tests), the PostgreSQL fetch in parts and
# the connection pool (the fetch tests, against the tests' own cluster, stopped
# however the run ends), the daily run, which finds the operations while it
# computes the incidents and writes their file while it writes the report (the
# module's run tests), and the web view's server answering many clients at
# once (rthost serve, built with the sanitizer, dies at a race and the test
# sees no answer). Only those tests and what they need are built.
set -euo pipefail
build="${1:-build-tsan}"
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_TSAN=ON \
    -DTW_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target pg_tests core_report_file_tests plugin_module_tests Tripplug \
    rthost web_tests viewer_core_tests
state="$root/$build/test-tmp/pg-cluster"
bash tests/pg/pg-cluster.sh start "$state"
trap 'bash tests/pg/pg-cluster.sh stop "$state"' EXIT
export TZ=Europe/Moscow LC_ALL=C.UTF-8 TW_PG_STATE="$state" TW_SOURCE_DIR="$root" \
    TW_BIN_DIR="$root/$build/bin" TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
for t in pg_tests core_report_file_tests; do
    echo "== $t under ThreadSanitizer"
    # A peak-memory measurement means nothing under the sanitizer.
    TW_TEST_TMP="$root/$build/test-tmp/$t" "$build/bin/$t" --gtest_brief=1 \
        --gtest_filter=-ReportFile.PeakMemoryIsASmallMultipleOfTheUnpackedStream
done
echo "== plugin_module_tests (the daily run) under ThreadSanitizer"
TW_TEST_TMP="$root/$build/test-tmp/plugin_module_tests" QT_QPA_PLATFORM=offscreen \
    "$build/bin/plugin_module_tests" --gtest_brief=1 --gtest_filter='RunTest.*'
echo "== viewer_core_tests (gathering with the next report loading) under ThreadSanitizer"
TW_TEST_TMP="$root/$build/test-tmp/viewer_core_tests" "$build/bin/viewer_core_tests" \
    --gtest_brief=1 --gtest_filter='Gather.*'
echo "== web_tests (many clients at once) under ThreadSanitizer"
TW_TEST_TMP="$root/$build/test-tmp/web_tests" "$build/bin/web_tests" --gtest_brief=1 \
    --gtest_filter='Serve.ManyClientsAtOnce*'
