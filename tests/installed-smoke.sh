#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the installed Vossbridge from an unpacked package root against the
# installed meter simulator and reference host, on the current session bus.
# A runner, if given, runs the package's programs: an emulator for another
# architecture's package (scripts/package-arm64 gives qemu-aarch64-static).
# Usage: tests/installed-smoke.sh ROOT [RUNNER...]
set -euo pipefail
root=${1:?usage: installed-smoke.sh ROOT [RUNNER...]}
shift
run=("$@")
bin=$root/usr/bin

fail() { echo "installed smoke test: FAILED: $*" >&2; exit 1; }
scratch=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1; shift
    for _ in $(seq $((seconds * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

[ -x "$bin/vossbridge" ] || fail "no vossbridge command"
[ -f "$(dirname "$(readlink -f "$bin/vossbridge")")/TRX.hlp" ] || fail "TRX.hlp is not beside the program"
# Both answer without a display.
"${run[@]}" "$bin/vossbridge" --version </dev/null | grep -q '^Vossbridge ' || fail "--version did not answer"
"${run[@]}" "$bin/vossbridge" --help </dev/null | grep -q -- '--record' || fail "--help did not answer"

"${run[@]}" "$bin/vossbridge-meter-sim" -e "power 42" -e "swr 1.5" -e "alarm 1" -e "range 1" \
    >"$scratch/sim.log" </dev/null &
pids+=($!)
wait_for 10 test -s "$scratch/sim.log" || fail "the meter simulator did not start"
device=$(head -n 1 "$scratch/sim.log")

"${run[@]}" "$bin/vossbridge-host" >"$scratch/host.log" 2>"$scratch/host.err" &
pids+=($!)
wait_for 10 grep -qs listening "$scratch/host.err" || fail "the reference host did not start"

export XDG_CONFIG_HOME=$scratch/config
mkdir -p "$XDG_CONFIG_HOME/Vossbridge"

# Runs the program with the given options from fresh settings, until the
# simulator's readings reach the host (SWR 1.5 at alarm setting 1, then 42 W
# in the 250 W range), and stops it as the session would.
poll_and_report() {
    printf '[Ports]\nCom5=%s\n' "$device" >"$XDG_CONFIG_HOME/Vossbridge/Vossbridge.ini"
    local seen
    seen=$(wc -l <"$scratch/host.log")
    local qpa=(env QT_QPA_PLATFORM=offscreen)
    [ "${1:-}" = --headless ] && qpa=(env -u QT_QPA_PLATFORM) # no window system at all
    "${qpa[@]}" "${run[@]}" "$bin/vossbridge" "$@" 2>"$scratch/vossbridge.err" &
    program=$!
    pids+=($program)
    reported() { tail -n +"$((seen + 1))" "$scratch/host.log" | grep -q "$1"; }
    wait_for 20 reported ' 34 1 1.5 ' || fail "vossbridge $*: no SWR report reached the host"
    wait_for 20 reported ' 33 2 42 ' || fail "vossbridge $*: no power report reached the host"

    kill -TERM "$program"
    status=0
    wait "$program" || status=$?
    [ "$status" -eq 0 ] || fail "vossbridge $* exited with status $status after SIGTERM"
    grep -q '^Alarm=1$' "$XDG_CONFIG_HOME/Vossbridge/Vossbridge.ini" ||
        fail "vossbridge $*: shutdown stored no alarm setting"
    echo "installed smoke test: vossbridge $* passed ($(tail -n +"$((seen + 1))" "$scratch/host.log" | grep -c ' 33 ') power reports)"
}
poll_and_report
poll_and_report --headless
