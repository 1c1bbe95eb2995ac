#!/usr/bin/env bash
# quillet-batch --host cad under Wine against the test host, whose every open of a drawing takes
# a fixed time (its "fault=slow=MS" line), standing for the host's own open, save and close:
#   - the call's own cost per drawing over that time, with -j 1 (goal: under 5 %);
#   - -j 2 against -j 1 (goal: at least 1.8 times as fast);
#   - what a --plan costs against the run it plans.
# The host's start-up is the host's own cost, not the call's: it is taken out by timing two
# folders, of N and 2N drawings, and counting only the difference.
# Usage: cadhost-bench.sh BUILD_DIR (a Windows build with quillet-batch.exe and SLDWORKS.exe)
set -euo pipefail
build=$(cd "$1" && pwd)
qt=${XDG_CACHE_HOME:-$HOME/.cache}/quillet/qt6-win
wine=/usr/lib/wine/wine64
wine_path() { local p=$1; printf 'Z:%s\n' "${p//\//\\}"; }

work=$build/cadhost-bench
rm -rf "$work" && mkdir -p "$work"
# A prefix of the benchmark's own, whose windows need no window manager: hiding the host's window
# would otherwise wait two seconds for one.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEPATH="$(wine_path "$qt/bin");$(wine_path /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(wine_path /usr/x86_64-w64-mingw32/lib)"
export QT_PLUGIN_PATH=$(wine_path "$qt/plugins") QT_QPA_PLATFORM=offscreen
$wine wineboot --init >/dev/null 2>&1
$wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# The prefix is whole only once its server has settled.
/usr/lib/wine/wineserver -w
$wine "$build/bin/SLDWORKS.exe" /regserver

slow=1000
drawings() {
    local folder=$1 count=$2 i
    mkdir -p "$folder"
    for ((i = 1; i <= count; i++)); do
        printf 'type=drawing\r\nsheet=Sheet1\r\nsheet=Sheet2\r\nactive=Sheet1\r\nfault=slow=%s\r\n' \
            "$slow" >"$folder/D$i.SLDDRW"
    done
}
n=12
drawings "$work/small" $n
drawings "$work/large" $((2 * n))

# Seconds one call takes.
timed() {
    local out=$work/out
    rm -rf "$out" && mkdir -p "$out"
    local start end
    start=$(date +%s.%N)
    $wine "$build/bin/quillet-batch.exe" --host cad -q -f PDF -s all -n 'DRWNAME|_|SHEETNAME' \
        --no-dest-dirs -o "$(wine_path "$out")" "$@" >/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

small1=$(timed -j 1 "$(wine_path "$work/small")")
large1=$(timed -j 1 "$(wine_path "$work/large")")
large2=$(timed -j 2 "$(wine_path "$work/large")")
plan=$(timed -j 1 --plan "$(wine_path "$work/plan.json")" "$(wine_path "$work/large")")
$wine "$build/bin/SLDWORKS.exe" /unregserver
/usr/lib/wine/wineserver -k || true

calc() { awk "BEGIN { print $1 }"; }
per=$(calc "($large1 - $small1) / $n")
host=$(calc "$slow / 1000")
overhead=$(calc "($per - $host) / $host * 100")
speedup=$(calc "$large1 / $large2")
planShare=$(calc "$plan / $large1 * 100")
printf 'cadHost (under Wine, the test host taking %d ms a drawing)\n' "$slow"
printf '  %d drawings: %.1f s with -j 1, %d drawings: %.1f s with -j 1, %.1f s with -j 2\n' \
    "$n" "$small1" $((2 * n)) "$large1" "$large2"
printf '  a drawing costs %.3f s, of which the host %.3f s\n' "$per" "$host"
status=0
check() {
    local what=$1 value=$2 op=$3 goal=$4 unit=$5
    if [ "$(calc "($value $op $goal) ? 1 : 0")" = 1 ]; then
        printf '  PASS  %s: %.2f %s (goal: %s %s %s)\n' "$what" "$value" "$unit" "$op" "$goal" "$unit"
    else
        printf '  FAIL  %s: %.2f %s (goal: %s %s %s)\n' "$what" "$value" "$unit" "$op" "$goal" "$unit"
        status=1
    fi
}
check "the call's own cost over the host's" "$overhead" '<' 5 '%'
check "-j 2 over -j 1" "$speedup" '>=' 1.8 'times'
printf '  a plan of %d drawings: %.1f s, %.0f %% of the run it plans\n' $((2 * n)) "$plan" "$planShare"
exit $status
