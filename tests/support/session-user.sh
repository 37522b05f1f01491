# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the compositor session scripts. Compositors refuse to run as root
# (or need what root would bypass), so under root (as in CI) they run as an
# unprivileged user of their own, created here when missing. Sets run_as (the
# command prefix that becomes that user, empty when not root), owner
# (uid:gid for the files that user must own) and session_user.
session_user=quillstack-test
run_as=()
if [ "$(id -u)" -eq 0 ]; then
  if ! id -u "$session_user" >/dev/null 2>&1; then
    # Tests run in parallel; one of them creates the user.
    (
      flock 9
      id -u "$session_user" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent \
          --shell /usr/sbin/nologin "$session_user"
    ) 9>/tmp/quillstack-test-user.lock
  fi
  # Xwayland puts its socket here; a directory made by the session's user
  # would keep root's X servers out, so root makes it as X servers expect.
  mkdir -p /tmp/.X11-unix
  chown root:root /tmp/.X11-unix
  chmod 1777 /tmp/.X11-unix
  uid=$(id -u "$session_user") gid=$(id -g "$session_user")
  run_as=(setpriv "--reuid=$uid" "--regid=$gid" --clear-groups)
  owner="$uid:$gid"
else
  owner="$(id -u):$(id -g)"
fi

# Starts a command (its environment given with env -i) as the session user,
# in a session of its own, and when root in a mount namespace where
# /run/systemd is empty, so that a compositor does not look for logind;
# output goes to the file $1. Sets session_pid.
start_session() {
  local log=$1
  shift
  if [ ${#run_as[@]} -gt 0 ]; then
    # shellcheck disable=SC2016
    setsid unshare --mount --propagation private \
      sh -c 'mount -t tmpfs tmpfs /run/systemd && exec "$@"' sh "${run_as[@]}" "$@" \
      >"$log" 2>&1 </dev/null &
  else
    setsid "$@" >"$log" 2>&1 </dev/null &
  fi
  session_pid=$!
}

# The lines of a session's start script that start its two private buses,
# the session's and a system bus of its own, in the runtime folder $1, and
# wait for their sockets.
private_buses() {
  cat <<SCRIPT
for bus in bus system_bus; do
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$1/\$bus" &
done
for _ in \$(seq 1 200); do
  [ -S "$1/bus" ] && [ -S "$1/system_bus" ] && break
  sleep 0.05
done
SCRIPT
}

# Starts the script run in the runtime folder $1 as the session user, in an
# environment of nothing but that folder, the two buses and the variables
# given after the log file $2. Sets session_pid.
start_session_script() {
  local runtime=$1 log=$2
  shift 2
  start_session "$log" env -i HOME="$runtime" XDG_RUNTIME_DIR="$runtime" \
    PATH=/usr/local/bin:/usr/bin:/bin \
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$runtime/system_bus" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus" "$@" "$runtime/run"
}

# Waits until the compositor (pid $2) has written the non-empty file $1, for
# at most $3 seconds; stops early when the compositor has exited.
wait_for_session_file() {
  local _
  for _ in $(seq 1 $(($3 * 20))); do
    [ -s "$1" ] && return 0
    kill -0 "$2" 2>/dev/null || break
    sleep 0.05
  done
  [ -s "$1" ]
}

# Waits (at most $3 seconds) for the session script in runtime folder $1,
# run by pid $2, to write its environment, and copies it into folder $4.
# Otherwise prints $5 and the session's log $6, and fails.
take_session_env() {
  if ! wait_for_session_file "$1/env" "$2" "$3"; then
    echo "$5" >&2
    cat "$6" >&2
    return 1
  fi
  cp "$1/env" "$4/env"
}
