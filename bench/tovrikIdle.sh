#!/usr/bin/env bash
# Tovrik.exe connected to Wendaro.exe and left alone: the share of one
# processor core that Tovrik.exe uses and its resident memory, read from
# /proc over a quiet stretch. Tovrik.exe runs under xvfb-run from a demo
# installation in a throw-away prefix, as run.sh lays it out, and starts
# Wendaro.exe itself. The run has a network namespace of its own
# (unshare), so its port 8722 is nobody else's.
#
#   bench/tovrikIdle.sh [build folder] [seconds measured] [seconds to settle]
#
# Defaults: build/normal, 30 and 10. The build needs the targets tovrik_exe,
# wendaro_exe and tovrik_demo_install.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/normal}" && pwd)
measure=${2:-30}
settle=${3:-10}

if [[ -z "${QVR_IDLE_INNER:-}" ]]; then
    exec unshare -rn env QVR_IDLE_INNER=1 "$0" "$build" "$measure" "$settle"
fi
ip link set lo up

bin=$build/bin
prefix=$(mktemp -d /tmp/qvr-idle-XXXXXX)
export QVR_PREFIX=$prefix TZ=UTC
# Installed from the distribution, as ./run.sh installs the demo.
[[ -d "$build/distribution" ]] || { echo "build the target \"distribution\" first" >&2; exit 1; }
folder=$("$bin/demoInstall" "$build/distribution")

xvfb=""
tovrik=""
wendaro=""
cleanup() {
    [[ -n "$tovrik" ]] && kill "$tovrik" 2>/dev/null || true
    [[ -n "$wendaro" ]] && kill "$wendaro" 2>/dev/null || true
    [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
    # The two programs are not children of this script: wait for them to be
    # gone before their folders are removed under them.
    for _ in $(seq 50); do
        { [[ -n "$tovrik" ]] && kill -0 "$tovrik" 2>/dev/null; } ||
            { [[ -n "$wendaro" ]] && kill -0 "$wendaro" 2>/dev/null; } || break
        sleep 0.1
    done
    rm -rf "$prefix"
}
trap cleanup EXIT

# The process whose program file is the given one (started by this run).
pidOf() {
    local exe
    for p in /proc/[0-9]*; do
        exe=$(readlink "$p/exe" 2>/dev/null || true)
        if [[ "$exe" == "$1" ]]; then
            echo "${p#/proc/}"
            return 0
        fi
    done
    return 1
}

cd "$folder"
xvfb-run -a ./Tovrik.exe >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    tovrik=$(pidOf "$folder/Tovrik.exe" || true)
    wendaro=$(pidOf "$folder/Wendaro.exe" || true)
    [[ -n "$tovrik" && -n "$wendaro" ]] && break
    sleep 0.1
done
if [[ -z "$tovrik" || -z "$wendaro" ]]; then
    echo "Tovrik.exe or Wendaro.exe did not start" >&2
    exit 1
fi
sleep "$settle"
if ! ss -tn state established '( dport = :8722 )' | grep -q 8722; then
    echo "Tovrik.exe is not connected to Wendaro.exe" >&2
    exit 1
fi

# utime + stime, in clock ticks (fields 14 and 15 of /proc/PID/stat).
cpuTicks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
t0=$(date +%s.%N)
c0=$(cpuTicks "$tovrik")
w0=$(cpuTicks "$wendaro")
sleep "$measure"
t1=$(date +%s.%N)
c1=$(cpuTicks "$tovrik")
w1=$(cpuTicks "$wendaro")
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$tovrik/status")
threads=$(awk '/^Threads/ { print $2 }' "/proc/$tovrik/status")
awk -v c="$((c1 - c0))" -v w="$((w1 - w0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" -v rss="$rss" -v th="$threads" '
BEGIN {
    s = t1 - t0
    printf "Tovrik.exe idle, connected, over %.1f s: %.2f%% of one core, %.1f MB resident, %d threads\n", s, 100 * c / hz / s, rss / 1024, th
    printf "(Wendaro.exe meanwhile: %.2f%% of one core)\n", 100 * w / hz / s
}'
