#!/usr/bin/env bash
# Converts every folder of DBF tables under a root into the OCI stand-in, once per values setting
# (classic and exact), and counts with `brixel-cli verify` how many source values arrived equal.
#
#   tools/measure_values.sh BUILD_DIR [ROOT]      (ROOT: ../shared/dbf-samples)
#
# BUILD_DIR must hold src/app/brixel-cli, ocisim/libocisim.so and ocisim/ocisim-admin. Prints one
# line per folder and mode, then the totals; the verify reports stay in the work folder it names.
set -u
build=$(cd "${1:?build folder}" && pwd)
root=$(cd "${2:-../shared/dbf-samples}" && pwd)
cli="$build/src/app/brixel-cli"
admin="$build/ocisim/ocisim-admin"
export BRIXEL_OCI_LIBRARY="$build/ocisim/libocisim.so"
for f in "$cli" "$admin" "$BRIXEL_OCI_LIBRARY"; do
    [ -e "$f" ] || { echo "measure: $f is missing" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/brixel-measure.XXXXXX")
export OCISIM_HOME="$work/ocisim" BRIXEL_CONFIG_HOME="$work/config" MEASURE_PASSWORD=pw
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
mkdir -p "$OCISIM_HOME" "$BRIXEL_CONFIG_HOME"
echo "measure: reports in $work"

declare -A equal total
n=0
while IFS= read -r -d '' folder; do
    n=$((n + 1))
    for mode in classic exact; do
        # A service of its own per folder and mode: nothing left by one conversion meets another.
        service="M${mode:0:1}$n"
        "$admin" create-service "$service" --release 19c --charset AL32UTF8 > /dev/null
        "$admin" create-user "$service" u pw > /dev/null
        common=(--source "$folder" --host localhost --port 1521 --service "$service" --user u
                --password-env MEASURE_PASSWORD --on-error continue)
        timeout 600 "$cli" run "${common[@]}" --values "$mode" --existing overwrite --quiet \
            > /dev/null 2> "$work/run-$mode-$n.err"
        report="$work/verify-$mode-$n.txt"
        timeout 600 "$cli" verify "${common[@]}" > "$report" 2> "$work/verify-$mode-$n.err"
        line=$(grep -a '^verify: ' "$report" | tail -n 1)
        e=$(echo "$line" | awk '{print $2}')
        t=$(echo "$line" | awk '{print $4}')
        e=${e:-0}
        t=${t:-0}
        equal[$mode]=$(( ${equal[$mode]:-0} + e ))
        total[$mode]=$(( ${total[$mode]:-0} + t ))
        echo "$mode ${folder#"$root"/}: $e of $t"
    done
done < <(find "$root" -type f -iname '*.dbf' -printf '%h\0' | sort -zu)

for mode in classic exact; do
    e=${equal[$mode]:-0}
    t=${total[$mode]:-0}
    pct=$(awk -v e="$e" -v t="$t" 'BEGIN { printf (t ? "%.2f" : "0"), t ? 100 * e / t : 0 }')
    echo "TOTAL $mode: $e of $t values equal ($pct%)"
done
