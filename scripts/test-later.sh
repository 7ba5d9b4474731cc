#!/usr/bin/env bash
# Runs the tests once more with the clock more than a year ahead (faketime), so
# that a test that follows today's date cannot pass by luck: every suite as
# usual, then the end-to-end suite in a zone with daylight saving.
set -euo pipefail
build="${1:-build}"
# libfaketime fakes file times too, and to do so holds a semaphore shared by
# every process under it around each stat(): a test that kills a process at a
# random moment (as the run-killing tests do) can leave it taken, and then every
# process, ctest included, waits for ever. The tests need the clock, not file
# times. A hang still ends: the whole pass has a time limit.
export NO_FAKE_STAT=1
limit="timeout --kill-after=30 1800"
later="$(date -d '+400 days' '+%Y-%m-%d %H:%M:%S')"
echo "Tests again with the clock at $later"
# The package is made as before: nothing in it follows the date.
$limit faketime -f "@$later" ctest --test-dir "$build" -j "$(nproc)" --output-on-failure \
    -E '^install_package$'


echo "End-to-end tests at $later in Europe/Berlin"
tmp="$PWD/$build/test-tmp/e2e_tests_later"
rm -rf "$tmp"
mkdir -p "$tmp"
(cd "$build" && $limit faketime -f "@$later" env TZ=Europe/Berlin LC_ALL=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen TW_TEST_TMP="$tmp" TW_SOURCE_DIR="$(cd .. && pwd)" \
    TW_BIN_DIR="$PWD/bin" bin/e2e_tests)
