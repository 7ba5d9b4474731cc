#!/usr/bin/env bash
# `make faults`: tries the programs as a hostile machine would and writes the
# table of what happened into the README (between the faults markers):
#   - per output, every fault the injector (tests/faults/faultinject.c) can make
#     at every counted call: failing open, full disk, short write, failing rename,
#     SIGKILL; after each, whether anything was lost or reported as success;
#   - per reader, the fuzzing time and the inputs tried (scripts/fuzz.sh, when
#     clang is there);
#   - the exit code of every command for bad input.
# FUZZ_SECONDS sets the fuzzing time per reader (default 10; 0 skips fuzzing).
set -uo pipefail
build="${1:-build}"
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bin="$root/$build/bin"
shim="$bin/libfaultinject.so"
work="$root/$build/faults"
export TZ=Europe/Moscow LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen
for f in rthost Tripview twdump libfaultinject.so; do
    [ -e "$bin/$f" ] || { echo "faults: $bin/$f is missing: build first" >&2; exit 2; }
done
rm -rf "$work"
mkdir -p "$work"
END="2026-11-20 00:00"

# ---------------------------------------------------------------- the plant
"$bin/rthost" demo "$work/plant" --days 3 --end 2026-11-21 --background 20 --seed 3 >/dev/null ||
    { echo "faults: demo failed" >&2; exit 1; }
"$bin/rthost" run "$work/plant" --job Daily --from 2026-11-18 --to 2026-11-19 >/dev/null 2>&1
cp -a "$work/plant" "$work/reports"            # a plant with two days of reports
rm -rf "$work/plant/Reports"
printf 'variable,time,state,value\n' >"$work/change.csv"
for d in 18 19 20; do
    printf 'U1.P01.Sensor,2026-11-%s 12:00:00,0,77.%s\n' "$d" "$d" >>"$work/change.csv"
done

# Regular files under final names (not hidden): "size name" per line.
finals() { find "$1" -maxdepth 1 -type f ! -name '.*' -printf '%s %f\n' 2>/dev/null | sort -k2; }

# What a complete output looks like: its kind, and for a report its items.
describe() {
    local dir="$1" f
    find "$dir" -maxdepth 1 -type f ! -name '.*' | sort | while read -r f; do
        case "$f" in
            # A report's or an operations file's own count of its entries.
            *.twr | *.two) printf '%s %s\n' "${f##*.}" \
                "$("$bin/twdump" "$f" 2>/dev/null | grep -m1 -o '"Count": [0-9]*' | cut -d' ' -f2)" ;;
            *.twt) printf 'twt %s\n' "$(stat -c %s "$f")" ;;
            *.txt) printf 'txt %s\n' "$(wc -l <"$f")" ;;
            *.xls) printf 'xls %s\n' "$(head -c 8 "$f" | od -An -tx1 | tr -d ' \n')" ;;
            *.csv) printf 'csv %s\n' "$(md5sum <"$f" | cut -c1-12)" ;;
        esac
    done | sort | uniq
}

# ------------------------------------------------------- the three scenarios
# Each has: prepare (a fresh home in $h), act (the command, under the shim),
# watched (the folder whose writes count) and judge (prints a problem or nothing).
run_prepare() { rm -rf "$work/h"; cp -a "$work/plant" "$work/h"; h="$work/h"; }
run_act() { "$bin/rthost" run "$h" --job Daily --end "$END"; }
run_watched() { echo "$h/Reports"; }
# Judges the outputs in a folder against the complete set: no empty file under a
# final name, no partial output, and no exit 0 while an output is missing.
judge_outputs() {
    local dir="$1" complete="$2" rc="$3" kind="$4" got extra
    finals "$dir" | awk '$1 == 0 { print "empty file under a final name: " $2; exit }'
    got="$(describe "$dir")"
    extra="$(comm -23 <(echo "$got") <(echo "$complete"))"
    if [ -n "$got" ] && [ -n "$extra" ]; then echo "partial output: $extra"; return; fi
    if [ "$got" != "$complete" ] && [ "$rc" -eq 0 ]; then echo "exit 0 with an output missing"; fi
    if [ "$kind" = short ] && [ "$got" != "$complete" ]; then echo "a short write lost an output"; fi
}
run_judge() { judge_outputs "$h/Reports" "$run_complete" "$1" "$2"; }

import_prepare() { rm -rf "$work/h"; cp -a "$work/plant" "$work/h"; h="$work/h"; }
import_act() { "$bin/rthost" import "$h" "$work/change.csv"; }
import_watched() { echo "$h/Archive"; }
archive_state() {
    "$bin/rthost" export "$h" --from "2026-11-17 00:00:00" --to "2026-11-21 00:00:00" 2>/dev/null |
        md5sum | cut -c1-12
}
import_judge() {
    local rc="$1" kind="$2" now
    now="$(archive_state)"
    if [ "$now" != "$import_old" ] && [ "$now" != "$import_new" ]; then
        echo "archive neither old nor new"; return
    fi
    if [ "$now" = "$import_old" ] && [ "$rc" -eq 0 ]; then echo "exit 0, nothing imported"; fi
    if [ "$kind" = short ] && [ "$now" != "$import_new" ]; then echo "a short write lost the import"; fi
    if find "$h/Archive" -name '*tmp*' | grep -q .; then echo "temporary files left"; fi
}

batch_prepare() { rm -rf "$work/h"; cp -a "$work/reports" "$work/h"; h="$work/h"; }
batch_act() {
    "$bin/Tripview" --batch --path "$h/Reports" --from 2026-11-18 --to 2026-11-20 \
        --txt "$h/Second" --xls "$h/Second" --template "$h/Templates/Tripwatch.xls" \
        --stats "$h/Second"
}
batch_watched() { echo "$h/Second"; }
batch_judge() { judge_outputs "$h/Second" "$batch_complete" "$1" "$2"; }

# The complete results, without faults.
run_prepare; run_act >/dev/null 2>&1; run_complete="$(describe "$h/Reports")"
import_prepare; import_old="$(archive_state)"; import_act >/dev/null 2>&1
import_new="$(archive_state)"
batch_prepare; batch_act >/dev/null 2>&1; batch_complete="$(describe "$h/Second")"

# Every fault of one kind at every counted call of one scenario: "N problems" cell.
inject() {
    local scenario="$1" kind="$2" n=1 injected=0 problems=0 first="" rc out
    while [ "$n" -le 2000 ]; do
        "${scenario}_prepare"
        rm -f "$work/fired"
        (LD_PRELOAD="$shim" TW_FAULT="$kind:$n" TW_FAULT_DIR="$("${scenario}_watched")" \
            TW_FAULT_REPORT="$work/fired" "${scenario}_act") >/dev/null 2>&1 </dev/null
        rc=$?
        [ -e "$work/fired" ] || break
        injected=$((injected + 1))
        out="$("${scenario}_judge" "$rc" "$kind")"
        if [ -n "$out" ]; then
            problems=$((problems + 1))
            [ -n "$first" ] || first="$(echo "$out" | head -1) (at call $n)"
        fi
        n=$((n + 1))
    done
    if [ "$problems" -eq 0 ]; then
        echo "$injected injected: nothing lost"
    else
        echo "$injected injected: $problems lost or silent, e.g. $first"
    fi
}

table="$work/faults.md"
{
    echo "Faults injected at every counted call (\`make faults\`, $(date -u +%Y-%m-%d)):"
    echo
    echo "| Output | failing open | full disk | short write | failing rename | SIGKILL |"
    echo "|---|---|---|---|---|---|"
    for s in "run:\`rthost run\`: .twr, .twt, .two, .txt, .xls, kept values" \
             "import:\`rthost import\`: the archive" \
             "batch:\`Tripview --batch\`: .txt, .xls, stats.csv"; do
        name="${s%%:*}"
        cells=""
        for kind in open write short rename kill; do
            echo "faults: $name $kind" >&2
            cells="$cells | $(inject "$name" "$kind")"
        done
        echo "| ${s#*:}$cells |"
    done
} >"$table"

code() { "$@" >/dev/null 2>&1 </dev/null; echo $?; }

# ------------------------------------------- outputs that are not plain files
# An output onto a device, a FIFO or a link, and homes too long for their paths:
# what the command said and what became of the target and its surroundings.
kind_of() {
    if [ -L "$1" ]; then echo "a link to $(basename "$(readlink "$1")")"
    elif [ -c "$1" ]; then echo "a character device"
    elif [ -p "$1" ]; then echo "a FIFO"
    elif [ -d "$1" ]; then echo "a folder"
    elif [ -f "$1" ]; then echo "a file of $(wc -l <"$1") lines"
    else echo "nothing"; fi
}
{
    echo
    echo "Outputs onto what is not a regular file, and paths too long:"
    echo
    echo "| Output | exit code | afterwards |"
    echo "|---|---|---|"
    o="$work/onto"; rm -rf "$o"; mkdir -p "$o/folder"
    exp=(export "$work/reports" --from "2026-11-18 00:00:00" --to "2026-11-18 23:59:59")
    lines="$("$bin/rthost" "${exp[@]}" 2>/dev/null | wc -l)"
    rc="$(code "$bin/rthost" "${exp[@]}" -o /dev/null)"
    echo "| \`rthost export -o /dev/null\` | $rc | /dev/null is $(kind_of /dev/null) |"
    mkfifo "$o/fifo"
    timeout 20 sh -c 'wc -l <"$0"' "$o/fifo" >"$o/fifo.read" &
    rc="$(code "$bin/rthost" "${exp[@]}" -o "$o/fifo")"
    timeout 2 sh -c ': >"$0"' "$o/fifo" 2>/dev/null  # a reader left waiting gets the end
    wait
    echo "| \`rthost export -o FIFO\` ($lines lines) | $rc | $(kind_of "$o/fifo"), its reader got $(tr -d ' ' <"$o/fifo.read") lines |"
    : >"$o/target.csv"; ln -s target.csv "$o/link"
    rc="$(code "$bin/rthost" "${exp[@]}" -o "$o/link")"
    echo "| \`rthost export -o LINK\` | $rc | $(kind_of "$o/link"); target.csv is $(kind_of "$o/target.csv") |"
    ln -s nowhere/x.csv "$o/dangling"
    rc="$(code "$bin/rthost" "${exp[@]}" -o "$o/dangling")"
    echo "| \`rthost export -o DANGLING-LINK\` | $rc | $(kind_of "$o/dangling"); nowhere/ is $(kind_of "$o/nowhere") |"
    rc="$(code "$bin/rthost" "${exp[@]}" -o "$o/folder")"
    echo "| \`rthost export -o FOLDER\` | $rc | $(kind_of "$o/folder") with $(ls -A "$o/folder" | wc -l) entries |"
    for length in 240 280; do
        parent="$o/long$length"; mkdir -p "$parent"; home="$parent"
        while [ "${#home}" -lt "$length" ]; do
            part=$((length - ${#home} - 1)); [ "$part" -le 50 ] || part=50
            home="$home/$(printf 'x%.0s' $(seq "$part"))"
        done
        "$bin/rthost" demo "$home" --days 1 --end 2026-11-21 --background 10 >/dev/null 2>&1
        rc="$(code "$bin/rthost" run "$home" --job Daily --end "2026-11-21 00:00")"
        made="$(find "$o" -newer "$home/Jobs" ! -path "$home" ! -path "$home/*" | wc -l)"
        echo "| \`rthost run\` in a home of ${#home} characters | $rc | $made new entries outside the home |"
    done
} >>"$table"

# ------------------------------------------------------------- fuzzing
seconds="${FUZZ_SECONDS:-10}"
{
    echo
    if [ "$seconds" -gt 0 ] && command -v clang++ >/dev/null; then
        echo "Fuzzing, $seconds s per reader (\`scripts/fuzz.sh\`):"
        echo
        echo "| Reader | seconds | inputs tried | findings |"
        echo "|---|---|---|---|"
        FUZZ_SECONDS="$seconds" bash scripts/fuzz.sh 2>&1 | awk -v s="$seconds" '
            /^== fuzz_/ { if (name) print "| " name " | " s " | " runs " | " found " |";
                          name = $2; runs = "?"; found = "none" }
            /stat::number_of_executed_units/ { runs = $2 }
            /(ERROR|deadly signal|Test unit written)/ { found = "see build-fuzz" }
            END { if (name) print "| " name " | " s " | " runs " | " found " |" }'
    else
        echo "Fuzzing skipped (FUZZ_SECONDS=0 or no clang)."
    fi
} >>"$table"

# ------------------------------------------------------------- exit codes
h="$work/reports"
printf 'variable,time,state,value\nNo.Such.Variable,2026-11-18 10:00:00,0,1\n' >"$work/bad.csv"
printf 'garbage' >"$work/garbage.twr"
: >"$work/empty.twr"
{
    echo
    echo "Exit codes for bad input:"
    echo
    echo "| Command | Exit code |"
    echo "|---|---|"
    row() { echo "| \`$1\` | $2 |"; }
    row "rthost" "$(code "$bin/rthost")"
    row "rthost frobnicate" "$(code "$bin/rthost" frobnicate)"
    row "rthost run HOME --frob" "$(code "$bin/rthost" run "$h" --frob)"
    row "rthost run /no/such/home" "$(code "$bin/rthost" run /no/such/home)"
    row "rthost run HOME --end tomorrow" "$(code "$bin/rthost" run "$h" --end tomorrow)"
    row "rthost run HOME --job NoSuchJob" "$(code "$bin/rthost" run "$h" --job NoSuchJob --end "$END")"
    row "rthost run HOME (a day without data)" "$(code "$bin/rthost" run "$h" --end "2027-01-01 00:00")"
    row "rthost import HOME bad.csv" "$(code "$bin/rthost" import "$h" "$work/bad.csv")"
    row "rthost import HOME missing.csv" "$(code "$bin/rthost" import "$h" "$work/missing.csv")"
    row "rthost export HOME --from x --to y" "$(code "$bin/rthost" export "$h" --from x --to y)"
    row "rthost export HOME ... > /dev/full" \
        "$(bash -c '"$0" export "$1" --from "2026-11-18 00:00:00" --to "2026-11-19 00:00:00" >/dev/full 2>/dev/null; echo $?' "$bin/rthost" "$h")"
    row "Tripview --frob" "$(code "$bin/Tripview" --frob)"
    row "Tripview --batch (no path)" "$(code "$bin/Tripview" --batch)"
    row "Tripview --batch --path /no/such/folder" \
        "$(code "$bin/Tripview" --batch --path /no/such/folder --from 2026-11-18 --to 2026-11-20)"
    row "Tripview --batch, a period under 24 hours" \
        "$(code "$bin/Tripview" --batch --path "$h/Reports" --from "2026-11-18 00:00" --to "2026-11-18 12:00")"
    row "twdump" "$(code "$bin/twdump")"
    row "twdump --frob" "$(code "$bin/twdump" --frob)"
    row "twdump missing.twr" "$(code "$bin/twdump" "$work/missing.twr")"
    row "twdump garbage.twr" "$(code "$bin/twdump" "$work/garbage.twr")"
    row "twdump empty.twr" "$(code "$bin/twdump" "$work/empty.twr")"
} >>"$table"

# Into the README, between the markers.
python3 - "$table" README.md <<'EOF'
import sys
table = open(sys.argv[1], encoding="utf-8").read().rstrip("\n")
path = sys.argv[2]
text = open(path, encoding="utf-8").read()
begin, end = "<!-- faults:begin -->", "<!-- faults:end -->"
if begin in text and end in text:
    head, rest = text.split(begin, 1)
    text = head + begin + "\n" + table + "\n" + end + rest.split(end, 1)[1]
    open(path, "w", encoding="utf-8").write(text)
EOF
cat "$table"
