#!/usr/bin/env bash
# Builds a demo home and shows what the system makes of it: a demo plant with
# its configuration, hour archive and report job, then the daily report of each
# archive day through rthost, as cron would run it, and the second-level report
# of the protection non-operations of those days, with their protection
# statistics, through Tripview --batch.
set -euo pipefail
build=${1:-build}
home=${2:-demo-home}
bin="$build/bin"

echo "== The report module"
"$bin/rthost" info
echo
echo "== A demo plant in $home"
rm -rf "$home"
"$bin/rthost" demo --force "$home"
first=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['firstDay'])" "$home/demo-incidents.json")
last=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['lastDay'])" "$home/demo-incidents.json")
echo
echo "== The daily reports of $first .. $last"
"$bin/rthost" run "$home" --job Daily --from "$first" --to "$last" 2>/dev/null
echo
to=$(date -d "$last + 1 day" +%F)
echo "== The protection non-operations of $first .. $last (Tripview --batch)"
"$bin/Tripview" --batch --path "$home/Reports" --from "$first" --to "$to" \
    --txt "$home/Second" --xls "$home/Second" --template "$home/Templates/Tripwatch.xls" \
    --stats "$home/Second" 2>/dev/null
echo
echo "Reports are in $home/Reports (look into a .twr with: $bin/twdump FILE.twr)."
echo "The second-level report and the statistics (stats.csv) are in $home/Second;"
echo "the window: $bin/Tripview"
echo "The host log is $home/Log/rthost.log."
