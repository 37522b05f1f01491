#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Two Syncthing instances on 127.0.0.1 that share one folder, as a user's two
# machines would, for the sharing tests. Each has its own home and config,
# knows the other by device id and address, and talks to nothing else: no
# global or local discovery, relays, NAT traversal or usage reporting. The
# file watcher is on and gathers changes for a second before it scans
# (QUILLSTACK_PAIR_WATCHER_DELAY seconds; Syncthing's own default is 10).
#
#   syncthing-pair.sh COMMAND [ARGS...]
#
# runs COMMAND once both are connected and their folder is scanned, with
#   QUILLSTACK_PAIR_A_FOLDER, QUILLSTACK_PAIR_B_FOLDER  the shared folder on each
#   QUILLSTACK_PAIR_A_API, QUILLSTACK_PAIR_B_API        REST base, http://127.0.0.1:PORT
#   QUILLSTACK_PAIR_API_KEY                              REST key of both (X-API-Key)
#   QUILLSTACK_PAIR_FOLDER_ID                            the folder's id in both
#   QUILLSTACK_PAIR_CONTROL                              this script, for the verbs below
# in its environment, then stops both and removes everything it made.
# While COMMAND runs it may stop and start one side, as a crash would:
#   syncthing-pair.sh kill a|b     SIGKILL, nothing saved on the way out
#   syncthing-pair.sh start a|b    start again; returns once reconnected
# Syncthing runs as the user running this, as it does for people: the files
# Quillstack keeps private are then still its to read. As root it warns once.
set -u
here=$(cd "$(dirname "$0")" && pwd)
folder_id=quillstack

log() { echo "syncthing-pair: $*" >&2; }

rest() { # side path [curl options...]
  local side=$1 path=$2
  shift 2
  curl -sf --max-time 10 -H "X-API-Key: $(cat "$state/apikey")" "$@" \
    "http://127.0.0.1:$(cat "$state/$side/gui-port")$path"
}

other() { [ "$1" = a ] && echo b || echo a; }

# Starts one side's Syncthing, logging into its home, in a process group of
# its own: Syncthing runs as a monitor and the process it watches, and kill
# ends both at once. --no-restart keeps the monitor from starting it again.
launch() {
  local side=$1
  (
    cd "$state/$side" || exit 1
    exec setsid env HOME="$state/$side" STNOUPGRADE=1 \
      syncthing serve --home="$state/$side/home" --no-browser --no-restart \
      --logflags=3 </dev/null >>"$state/$side/syncthing.log" 2>&1
  ) &
  echo $! >"$state/$side/pid"
  disown
}

# Waits (at most $2 seconds) until side $1 is connected to the other side.
wait_connected() {
  local side=$1 peer_id _
  peer_id=$(cat "$state/$(other "$side")/device-id")
  for _ in $(seq 1 $(($2 * 10))); do
    [ "$(rest "$side" /rest/system/connections 2>/dev/null |
      jq -r --arg id "$peer_id" '.connections[$id].connected')" = true ] && return 0
    kill -0 "$(cat "$state/$side/pid")" 2>/dev/null || break
    sleep 0.1
  done
  log "$side did not connect to its peer; its log follows"
  tail -n 30 "$state/$side/syncthing.log" >&2
  return 1
}

# Waits (at most $2 seconds) until side $1 has scanned its folder once.
wait_idle() {
  local side=$1 _
  for _ in $(seq 1 $(($2 * 10))); do
    [ "$(rest "$side" "/rest/db/status?folder=$folder_id" 2>/dev/null |
      jq -r .state)" = idle ] && return 0
    sleep 0.1
  done
  log "$side's folder did not become idle"
  return 1
}

# The verbs a running test uses.
if [ "${1:-}" = kill ] || [ "${1:-}" = start ]; then
  state=${QUILLSTACK_PAIR_STATE:?run this verb under syncthing-pair.sh}
  side=$2
  if [ "$1" = kill ]; then
    pid=$(cat "$state/$side/pid")
    kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null
    # The process is not our child here: wait for it to be gone.
    while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
    exit 0
  fi
  launch "$side"
  wait_connected "$side" 60 && wait_connected "$(other "$side")" 60
  exit
fi

command=("$@")
if [ ${#command[@]} -eq 0 ]; then
  log "usage: syncthing-pair.sh COMMAND [ARGS...]"
  exit 2
fi
for tool in syncthing curl jq; do
  command -v "$tool" >/dev/null || { log "$tool is missing"; exit 1; }
done

state=$(mktemp -d)
cleanup() {
  local side
  for side in a b; do
    [ -s "$state/$side/pid" ] && kill -TERM -- "-$(cat "$state/$side/pid")" 2>/dev/null
  done
  for side in a b; do
    [ -s "$state/$side/pid" ] || continue
    while kill -0 "$(cat "$state/$side/pid")" 2>/dev/null; do sleep 0.05; done
  done
  [ -n "${KEEP_HARNESS_TMP:-}" ] || rm -rf "$state"
}
trap cleanup EXIT
# Killed outright (a test's timeout), this script runs no trap: a watcher in
# a session of its own then stops both instances and removes what was made.
setsid bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done
  for f in "$2/a/pid" "$2/b/pid"; do [ -s "$f" ] && kill -KILL -- "-$(cat "$f")"; done
  [ -n "$3" ] || rm -rf "$2"' watcher $$ "$state" "${KEEP_HARNESS_TMP:-}" \
  </dev/null >/dev/null 2>&1 &

# Four free ports, taken at once so that none is handed out twice.
read -r port_a port_b gui_a gui_b < <(python3 -c '
import socket
socks = [socket.socket() for _ in range(4)]
for s in socks:
    s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in socks))
')
head -c 24 /dev/urandom | base64 | tr -d '/+=' >"$state/apikey"
apikey=$(cat "$state/apikey")

for side in a b; do
  mkdir -p "$state/$side/folder/.stfolder"
  syncthing generate --home="$state/$side/home" --no-default-folder \
    --skip-port-probing >"$state/$side/generate.log" 2>&1 ||
    { log "generate failed"; cat "$state/$side/generate.log" >&2; exit 1; }
  syncthing serve --home="$state/$side/home" --device-id >"$state/$side/device-id"
done
echo "$port_a" >"$state/a/port"
echo "$port_b" >"$state/b/port"
echo "$gui_a" >"$state/a/gui-port"
echo "$gui_b" >"$state/b/gui-port"

# Each side's whole config; what is left out takes Syncthing's default.
for side in a b; do
  peer=$(other "$side")
  cat >"$state/$side/home/config.xml" <<EOF
<configuration version="36">
    <folder id="$folder_id" label="Quillstack" path="$state/$side/folder" type="sendreceive" rescanIntervalS="3600" fsWatcherEnabled="true" fsWatcherDelayS="${QUILLSTACK_PAIR_WATCHER_DELAY:-1}" ignorePerms="false" autoNormalize="true">
        <device id="$(cat "$state/a/device-id")" introducedBy=""></device>
        <device id="$(cat "$state/b/device-id")" introducedBy=""></device>
    </folder>
    <device id="$(cat "$state/$side/device-id")" name="$side" compression="metadata">
        <address>dynamic</address>
    </device>
    <device id="$(cat "$state/$peer/device-id")" name="$peer" compression="metadata">
        <address>tcp://127.0.0.1:$(cat "$state/$peer/port")</address>
    </device>
    <gui enabled="true" tls="false">
        <address>127.0.0.1:$(cat "$state/$side/gui-port")</address>
        <apikey>$apikey</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:$(cat "$state/$side/port")</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <announceLANAddresses>false</announceLANAddresses>
        <urAccepted>-1</urAccepted>
        <crashReportingEnabled>false</crashReportingEnabled>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <startBrowser>false</startBrowser>
        <setLowPriority>false</setLowPriority>
        <reconnectionIntervalS>1</reconnectionIntervalS>
    </options>
</configuration>
EOF
done

launch a
launch b
for side in a b; do
  wait_connected "$side" 60 || exit 1
done
for side in a b; do
  wait_idle "$side" 60 || exit 1
done

export QUILLSTACK_PAIR_STATE="$state"
export QUILLSTACK_PAIR_A_FOLDER="$state/a/folder" QUILLSTACK_PAIR_B_FOLDER="$state/b/folder"
export QUILLSTACK_PAIR_A_API="http://127.0.0.1:$gui_a" QUILLSTACK_PAIR_B_API="http://127.0.0.1:$gui_b"
export QUILLSTACK_PAIR_API_KEY="$apikey" QUILLSTACK_PAIR_FOLDER_ID="$folder_id"
export QUILLSTACK_PAIR_CONTROL="$here/syncthing-pair.sh"
"${command[@]}"
status=$?
if [ "$status" -ne 0 ]; then
  for side in a b; do
    log "$side's log, last lines:"
    tail -n 20 "$state/$side/syncthing.log" >&2
  done
fi
exit "$status"
