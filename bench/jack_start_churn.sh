#!/usr/bin/env bash
# Starts and quits the `lumivex` program many times on a private JACK server (dummy
# driver) while another client opens and closes JACK clients in a loop, and counts
# the starts that hung (no exit within the bound after SIGTERM: killed), the starts
# that showed the "Unable to configure audio" alert (and of them those that told
# a look-up stuck in the JACK library), the starts whose stream never
# came up, and the JACK clients opened per start besides the stream's own. A server
# that stops answering (its own clients hang too) is started again, and counted.
#
# Usage: xvfb-run -a bench/jack_start_churn.sh <lumivex binary> [runs=300] [pause=0.05]
# `pause` is the other client's rest in seconds between two clients.
# Never touches the default JACK server: everything runs on a server of its own.
set -uo pipefail
program="$1"
runs="${2:-300}"
pause="${3:-0.05}"
bound=5  # seconds, for the stream to come up and for the exit after SIGTERM

server="lumivex-churn-$$"
scratch="$(mktemp -d /tmp/lumivex-churn-XXXXXX)"
export JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" XDG_DATA_HOME="$scratch/home/data"
mkdir -p "$HOME"

jackd_pid= churn_pid= evmon_pid= pid=
lsp() { timeout 3 jack_lsp "$@" 2>/dev/null; }
startServer() {
    # The same name every time: a server that had to be killed leaves its entry in
    # JACK's registry, which the next one of that name takes over.
    jackd -n "$server" --no-realtime -d dummy -r 48000 -p 256 >>"$scratch/jackd.log" 2>&1 &
    jackd_pid=$!
    for _ in $(seq 100); do lsp >/dev/null && break; sleep 0.1; done
    # Every client registration on the server, by name.
    stdbuf -oL jack_evmon >>"$scratch/events.log" 2>&1 &
    evmon_pid=$!
    # The other client: opens and closes a JACK client, again and again.
    ( while true; do timeout 3 jack_lsp >/dev/null 2>&1; sleep "$pause"; done ) &
    churn_pid=$!
}
stopServer() {
    [ -n "$churn_pid" ] && kill "$churn_pid" 2>/dev/null && wait "$churn_pid" 2>/dev/null
    [ -n "$evmon_pid" ] && kill -KILL "$evmon_pid" 2>/dev/null && wait "$evmon_pid" 2>/dev/null
    if [ -n "$jackd_pid" ]; then
        kill -TERM "$jackd_pid" 2>/dev/null
        for _ in $(seq 100); do kill -0 "$jackd_pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$jackd_pid" 2>/dev/null
        wait "$jackd_pid" 2>/dev/null
    fi
    churn_pid= evmon_pid= jackd_pid=
}
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    stopServer
    [ -n "${KEEP_EVENTS:-}" ] && cp "$scratch/events.log" "$KEEP_EVENTS"
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
startServer

hangs=0 alerts=0 silent=0 wedged=0 unanswered=0
streamPorts() { lsp | grep -cE '^(RtApiJack|Lumivex-[0-9]+):'; }
for run in $(seq "$runs"); do
    "$program" >/dev/null 2>"$scratch/stderr.txt" &
    pid=$!
    up=0
    for _ in $(seq $((bound * 10))); do
        if [ "$(streamPorts)" -ge 4 ]; then up=1; break; fi
        grep -q "Error Reported" "$scratch/stderr.txt" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ "$up" = 1 ] || silent=$((silent + 1))
    if grep -q "Error Reported" "$scratch/stderr.txt" ||
       xwininfo -root -tree 2>/dev/null | grep -q '"Unable to configure audio"'; then
        alerts=$((alerts + 1))
        grep "Error Reported" "$scratch/stderr.txt" | sed "s/^/run $run: /" >&2
    fi
    # A look-up stuck inside the JACK library, given up and told.
    grep -q "did not answer" "$scratch/stderr.txt" && unanswered=$((unanswered + 1))
    kill -TERM "$pid" 2>/dev/null
    ended=0
    for _ in $(seq $((bound * 10))); do
        if ! kill -0 "$pid" 2>/dev/null; then ended=1; break; fi
        sleep 0.1
    done
    if [ "$ended" = 0 ]; then
        hangs=$((hangs + 1))
        echo "run $run: hung, killed" >&2
        kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    pid=
    if ! lsp >/dev/null; then
        wedged=$((wedged + 1))
        echo "run $run: the server no longer answers its clients; started again" >&2
        stopServer
        startServer
    fi
done

sleep 1
temporary=$(grep -cE 'Client (RtApiJackCount|RtApiJackInfo)[^ ]* registered' "$scratch/events.log")
streams=$(grep -cE 'Client (RtApiJack|Lumivex-[0-9]+)(-[0-9]+)? registered' "$scratch/events.log")
churned=$(grep -cE 'Client lsp[^ ]* registered' "$scratch/events.log")
echo "program: $program"
echo "starts: $runs  hung: $hangs  alerts: $alerts (of them told as not answering: $unanswered)  stream never up: $silent  server restarted: $wedged"
echo "temporary audio clients: $temporary ($(awk "BEGIN { printf \"%.1f\", $temporary / $runs }") per start)"
echo "stream clients: $streams  the other client's opens: $churned"
