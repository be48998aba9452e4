#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the installed Vossbridge, the window's program and vossbridged, from
# the unpacked packages' root against the installed meter simulator and
# reference host, on the current session bus.
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

for c in vossbridge vossbridged vossbridge-host vossbridge-meter-sim; do
    [ -x "$bin/$c" ] || fail "no $c command"
done
# vossbridge --headless runs the vossbridged it finds first beside itself,
# then in the installed bin folder, then on the command search path. An
# emulator does not follow a program into the programs it starts, so with a
# runner the unpacked root gets one beside the window's program that runs
# vossbridged through the runner.
if [ ${#run[@]} -gt 0 ]; then
    beside=$(dirname "$(readlink -f "$bin/vossbridge")")/vossbridged
    printf '#!/bin/sh\nexec %s %s "$@"\n' "${run[*]}" "$bin/vossbridged" >"$beside"
    chmod +x "$beside"
fi
[ -f "$(dirname "$(readlink -f "$bin/vossbridge")")/TRX.hlp" ] || fail "TRX.hlp is not beside the program"
# Both answer without a display.
"${run[@]}" "$bin/vossbridge" --version </dev/null | grep -q '^Vossbridge ' || fail "--version did not answer"
"${run[@]}" "$bin/vossbridge" --help </dev/null | grep -q -- '--record' || fail "--help did not answer"
"${run[@]}" "$bin/vossbridged" --help </dev/null | grep -q -- '--settings' || fail "vossbridged --help did not answer"

"${run[@]}" "$bin/vossbridge-meter-sim" -e "power 42" -e "swr 1.5" -e "alarm 1" -e "range 1" \
    >"$scratch/sim.log" </dev/null &
pids+=($!)
wait_for 10 test -s "$scratch/sim.log" || fail "the meter simulator did not start"
device=$(head -n 1 "$scratch/sim.log")

"${run[@]}" "$bin/vossbridge-host" >"$scratch/host.log" 2>"$scratch/host.err" &
pids+=($!)
wait_for 10 grep -qs listening "$scratch/host.err" || fail "the reference host did not start"

export XDG_CONFIG_HOME=$scratch/config

# Runs a program with the given options from fresh settings in $settings,
# until the simulator's readings reach the host (SWR 1.5 at alarm setting 1,
# then 42 W in the 250 W range), and stops it as the session or systemd
# would. Without a window it gets no window system at all.
poll_and_report() {
    mkdir -p "$(dirname "$settings")"
    printf '[Ports]\nCom5=%s\n' "$device" >"$settings"
    local seen
    seen=$(wc -l <"$scratch/host.log")
    local env=(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY)
    [ "$*" = vossbridge ] && env=(env QT_QPA_PLATFORM=offscreen)
    "${env[@]}" "${run[@]}" "$bin/$1" "${@:2}" 2>"$scratch/program.err" &
    program=$!
    pids+=($program)
    reported() { tail -n +"$((seen + 1))" "$scratch/host.log" | grep -q "$1"; }
    wait_for 20 reported ' 34 1 1.5 ' || fail "$*: no SWR report reached the host"
    wait_for 20 reported ' 33 2 42 ' || fail "$*: no power report reached the host"

    kill -TERM "$program"
    status=0
    wait "$program" || status=$?
    [ "$status" -eq 0 ] || fail "$* exited with status $status after SIGTERM"
    grep -q '^Alarm=1$' "$settings" || fail "$*: shutdown stored no alarm setting"
    echo "installed smoke test: $* passed ($(tail -n +"$((seen + 1))" "$scratch/host.log" | grep -c ' 33 ') power reports)"
}
settings=$XDG_CONFIG_HOME/Vossbridge/Vossbridge.ini
poll_and_report vossbridge
poll_and_report vossbridge --headless
# The system service's way: the settings file in the state directory
# systemd names.
export STATE_DIRECTORY=$scratch/state
settings=$STATE_DIRECTORY/Vossbridge.ini
poll_and_report vossbridged
