#!/usr/bin/env bash
# A private CUPS scheduler for the tests, never the system's one.
#
#   cupsd-private.sh start DIR   start cupsd with config, state, spool, logs and
#                                its Unix socket under DIR, and a TCP listener
#                                on 127.0.0.1 at a free port; add two raw
#                                queues and a class of two more, and write
#                                DIR/env (CUPS_SERVER and the names the tests
#                                read) for the caller to source
#   cupsd-private.sh stop DIR    stop it (SIGTERM, then SIGKILL after 10 s)
#   cupsd-private.sh forget DIR  as a scheduler that lost its job state: stop
#                                it, remove the files under its spool and cache
#                                folders, start it again on the same socket
#                                with the same queues (a queue disabled stays
#                                so); its job ids start again at 1. The new
#                                pid goes to DIR/cupsd.pid
#
# The plotter queue sends to socket://127.0.0.1:PORT, where the tests listen;
# the spare queue to port 9, where nothing does. Both abort a job whose
# backend fails (printer-error-policy=abort-job), so a failed delivery shows
# at once; a test that needs a stopping printer (stop-printer) or CUPS's
# retries (retry-job, one second apart here instead of 30) switches a queue
# for its own run, under the tests' lock, and switches it back.
# The class is an office's plotters: two queues sending to two more ports
# where the tests listen, with CUPS's default error policy (stop-printer),
# as lpadmin leaves a queue an administrator adds. TOVRIN_CUPS_TCP is the
# TCP address (CUPS_SERVER=127.0.0.1:PORT reaches the same scheduler as a
# print server on another host is reached).
# It must run as root: cupsd drops to user lp for its backends.
set -euo pipefail

queue=TovrinPlotter
spare=TovrinSpare
class=TovrinOffice
members=(TovrinOfficeA TovrinOfficeB)

usage() {
  echo "usage: $0 start|stop|forget DIR" >&2
  exit 2
}

# A TCP port nothing listens on (local ports in /proc/net/tcp are hex) and
# none of the ports given as arguments.
free_port() {
  local port hex
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 40000))
    hex=$(printf ':%04X ' "$port")
    if [[ " $* " != *" $port "* ]] && ! grep -qs "$hex" /proc/net/tcp /proc/net/tcp6; then
      echo "$port"
      return 0
    fi
  done
  echo "no free port found" >&2
  return 1
}

# The socket backend: copies the job to host:port of its device URI. Our
# own, so the tests need no printer drivers installed.
write_backend() {
  cat >"$1" <<'EOF'
#!/bin/bash
if [ $# -eq 0 ]; then
  echo 'network socket "Unknown" "Raw socket"'
  exit 0
fi
uri=${DEVICE_URI#socket://}
uri=${uri%%/*}
uri=${uri%%\?*}
host=${uri%:*}
port=${uri##*:}
exec 3<>"/dev/tcp/$host/$port" || { echo "ERROR: cannot connect to $host:$port" >&2; exit 1; }
if [ -n "${6:-}" ]; then cat -- "$6" >&3; else cat >&3; fi || exit 1
exec 3>&-
exit 0
EOF
  chmod 0755 "$1"
}

# cupsd looks for backends, filters and helpers under ServerBin.
make_server_bin() {
  local bin=$1
  mkdir -p "$bin/backend"
  chmod 0755 "$bin" "$bin/backend"
  for entry in /usr/lib/cups/*; do
    [ "$(basename "$entry")" = backend ] || ln -sfn "$entry" "$bin/$(basename "$entry")"
  done
  write_backend "$bin/backend/socket"
}

write_config() {
  local dir=$1 tcp_port=$2
  cat >"$dir/conf/cups-files.conf" <<EOF
User lp
Group lp
SystemGroup root
ServerRoot $dir/conf
ServerBin $dir/bin
RequestRoot $dir/spool
TempDir $dir/spool/tmp
StateDir $dir/state
CacheDir $dir/cache
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
FileDevice No
Sandboxing relaxed
EOF
  cat >"$dir/conf/cupsd.conf" <<EOF
LogLevel debug
Listen $dir/cups.sock
Listen 127.0.0.1:$tcp_port
Browsing Off
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
PreserveJobHistory Yes
JobRetryInterval 1
JobRetryLimit 5
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
}

# Waits up to `seconds` for `command` to succeed.
wait_for() {
  local seconds=$1
  shift
  for _ in $(seq 1 $((seconds * 10))); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

scheduler_running() {
  lpstat -r 2>/dev/null | grep -q '^scheduler is running'
}

# Starts cupsd on DIR's configuration and waits until it answers.
launch() {
  local dir=$1
  cupsd -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" \
    </dev/null >>"$dir/log/cupsd.out" 2>&1 &
  echo $! >"$dir/cupsd.pid"
  export CUPS_SERVER=$dir/cups.sock
  unset LPDEST PRINTER
  if ! wait_for 15 scheduler_running; then
    echo "$0: cupsd did not start; see $dir/log" >&2
    tail -n 20 "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
    stop "$dir"
    exit 1
  fi
}

start() {
  local dir=$1
  [ "$(id -u)" -eq 0 ] || { echo "$0: must run as root" >&2; exit 1; }
  command -v cupsd >/dev/null && command -v lpadmin >/dev/null ||
    { echo "$0: cupsd and lpadmin are needed (cups-daemon, cups-client)" >&2; exit 1; }
  stop "$dir"
  # Only what an earlier start left, never the folder itself.
  rm -rf "$dir"/{conf,spool,state,cache,log,bin,cups.sock}
  mkdir -p "$dir"/{conf,spool/tmp,state,cache,log}
  dir=$(cd "$dir" && pwd)
  chmod 0755 "$dir" "$dir/conf" "$dir/log"
  chgrp lp "$dir/spool" "$dir/spool/tmp" "$dir/cache" "$dir/state"
  chmod 0710 "$dir/spool"
  chmod 1770 "$dir/spool/tmp"
  chmod 0770 "$dir/cache"
  chmod 0755 "$dir/state"
  make_server_bin "$dir/bin"
  local port tcp_port port_a port_b
  tcp_port=$(free_port)
  write_config "$dir" "$tcp_port"

  launch "$dir"
  port=$(free_port "$tcp_port")
  port_a=$(free_port "$tcp_port" "$port")
  port_b=$(free_port "$tcp_port" "$port" "$port_a")
  trap 'stop "$dir"' ERR
  lpadmin -p "$queue" -E -v "socket://127.0.0.1:$port" -o printer-error-policy=abort-job
  lpadmin -p "$spare" -E -v "socket://127.0.0.1:9" -o printer-error-policy=abort-job
  lpadmin -p "${members[0]}" -E -v "socket://127.0.0.1:$port_a"
  lpadmin -p "${members[1]}" -E -v "socket://127.0.0.1:$port_b"
  lpadmin -p "${members[0]}" -c "$class"
  lpadmin -p "${members[1]}" -c "$class"
  cupsenable "$class"
  cupsaccept "$class"
  lpadmin -d "$queue"
  trap - ERR
  cat >"$dir/env" <<EOF
export CUPS_SERVER='$dir/cups.sock'
export TOVRIN_CUPS_QUEUE='$queue'
export TOVRIN_CUPS_SPARE_QUEUE='$spare'
export TOVRIN_CUPS_PORT='$port'
export TOVRIN_CUPS_TCP='127.0.0.1:$tcp_port'
export TOVRIN_CUPS_CLASS='$class'
export TOVRIN_CUPS_CLASS_MEMBERS='${members[*]}'
export TOVRIN_CUPS_CLASS_PORTS='$port_a $port_b'
export TOVRIN_CUPS_LOCK='$dir/tests.lock'
export TOVRIN_CUPSD_PID='$(cat "$dir/cupsd.pid")'
export TOVRIN_CUPSD_PID_FILE='$dir/cupsd.pid'
export TOVRIN_CUPSD_DIR='$dir'
export TOVRIN_CUPSD_SCRIPT='$(realpath "$0")'
EOF
  echo "private cupsd running on $dir/cups.sock and 127.0.0.1:$tcp_port," \
    "$queue -> 127.0.0.1:$port, $class -> 127.0.0.1:$port_a, :$port_b"
}

# Ends the recorded process, unless its number has gone to another program.
end_scheduler() {
  local dir=$1 pid
  [ -f "$dir/cupsd.pid" ] || return 0
  pid=$(cat "$dir/cupsd.pid")
  if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = cupsd ]; then
    kill -TERM "$pid" 2>/dev/null || true
    wait_for 10 bash -c "! kill -0 $pid" || kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/cupsd.pid"
}

stop() {
  end_scheduler "$1"
  rm -f "$1/env"
}

forget() {
  local dir=$1
  [ -f "$dir/cupsd.pid" ] && [ -f "$dir/env" ] || { echo "$0: no private cupsd in $dir" >&2; exit 1; }
  dir=$(cd "$dir" && pwd)
  end_scheduler "$dir"
  # Its jobs' control and data files and job.cache; spool/tmp stays.
  find "$dir/spool" "$dir/cache" -mindepth 1 -maxdepth 1 ! -path "$dir/spool/tmp" -exec rm -rf {} +
  find "$dir/spool/tmp" -mindepth 1 -delete
  launch "$dir"
  sed -i "s/^export TOVRIN_CUPSD_PID=.*/export TOVRIN_CUPSD_PID='$(cat "$dir/cupsd.pid")'/" "$dir/env"
  echo "private cupsd restarted without its jobs on $dir/cups.sock"
}

[ $# -eq 2 ] || usage
case $1 in
  start) start "$2" ;;
  stop) stop "$2" ;;
  forget) forget "$2" ;;
  *) usage ;;
esac
