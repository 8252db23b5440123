#!/usr/bin/env bash
# The demo: installs what is missing, builds the command-line front end and the OCI stand-in
# (Release, in build-demo), sets up a throw-away stand-in server in a temporary folder, converts
# the example DBF folder examples/dbf into it with brixel-cli, which prints its summary, and then
# shows some of the converted rows as the stand-in stored them.
#
# Nothing outside the repository's build-demo folder and the temporary folder is changed: the
# stand-in home and the settings store both live in the temporary folder, which is removed at
# the end. Set BRIXEL_DEMO_KEEP=1 to keep it and look at it afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build-demo
mkdir -p "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIXEL_TESTS=OFF -DBRIXEL_BENCH=OFF \
      > "$build/demo-configure.log" 2>&1 || { cat "$build/demo-configure.log"; exit 1; }
echo "demo: building brixel-cli and the OCI stand-in in $build"
cmake --build "$build" -j "$(nproc)" --target brixel-cli brixel-cli_data ocisim ocisim-admin

cli="$PWD/$build/src/app/brixel-cli"
admin="$PWD/$build/ocisim/ocisim-admin"
library="$PWD/$build/ocisim/libocisim.so"
for f in "$cli" "$admin" "$library"; do
    [ -e "$f" ] || { echo "demo: $f was not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/brixel-demo.XXXXXX")
if [ "${BRIXEL_DEMO_KEEP:-0}" = 1 ]; then
    echo "demo: keeping $work"
else
    trap 'rm -rf "$work"' EXIT
fi

# The stand-in server: service DEMO (an Oracle 19c with AL32UTF8), user demo. The converter's
# last-settings store goes to the temporary folder too, so the user's own settings stay as they are.
export OCISIM_HOME="$work/ocisim"
export BRIXEL_CONFIG_HOME="$work/config"
export BRIXEL_OCI_LIBRARY="$library"
mkdir -p "$OCISIM_HOME" "$BRIXEL_CONFIG_HOME"
"$admin" create-service DEMO --release 19c --charset AL32UTF8 > /dev/null
"$admin" create-user DEMO demo demo-password > /dev/null

echo
echo "demo: converting examples/dbf into service DEMO as user demo"
echo
export DEMO_PASSWORD=demo-password
status=0
"$cli" run --source examples/dbf --host localhost --port 1521 --service DEMO --user demo \
    --password-env DEMO_PASSWORD --existing overwrite --uppercase on --on-error continue ||
    status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then
    echo "demo: brixel-cli ended with exit status $status" >&2
    exit "$status"
fi

# Each Oracle table of the stand-in is a SQLite table of the same name in the service's file.
db=$(find "$OCISIM_HOME" -maxdepth 1 -iname 'demo.db' | head -n 1)
[ -n "$db" ] || { echo "demo: the stand-in's file for service DEMO is missing" >&2; exit 1; }
show() {
    echo
    echo "$1"
    sqlite3 -header -column "$db" "$2"
}
show "Customers (code page 1252; NOTES_CHARS is the length of the memo):" \
    'SELECT CUST_ID, COMPANY, CITY, SINCE, ACTIVE, CREDIT, length(NOTES) AS NOTES_CHARS
     FROM CUSTOMERS ORDER BY CUST_ID LIMIT 5'
show "Products (code page 1250):" \
    'SELECT SKU, NAME, PRICE, STOCK, DISCONT FROM PRODUCTS ORDER BY SKU'
show "Suppliers (Visual FoxPro, code page 1251; currency, datetime and a null):" \
    'SELECT SUPP_ID, NAME, BALANCE, LAST_DELIV FROM SUPPLIERS ORDER BY SUPP_ID'
echo
echo "demo: brixel-cli exit status $status (0: every record converted, 1: some were reported)"
