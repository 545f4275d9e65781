#!/bin/sh
# SPDX-License-Identifier: MIT
# Starts or stops a private CUPS scheduler for the test run.
#
#   private-cupsd.sh start DIR    fresh server in DIR, queues created
#   private-cupsd.sh stop DIR     server stopped, DIR removed
#                                 (kept when TESSALINE_KEEP_CUPS=1)
#
# Everything the server reads or writes lives in DIR: its configuration,
# state, spool and logs. It listens only on DIR/cups.sock, so clients reach
# it with CUPS_SERVER=DIR/cups.sock and the machine's own CUPS is never
# touched. Every queue prints into DIR/capture through the capture backend
# (see capture-backend.sh):
#
#   THERMAL_1        "THERMAL #1"
#   THERMAL_12       "THERMAL #12"
#   THERMAL_REJECTS  "THERMAL #3", not accepting jobs
#   THERMAL_STOPPED  "THERMAL #4", accepting jobs but stopped: they wait
#   THERMAL_SLOW     "THERMAL #5", each job takes 4 s to print
#   NO_DESCRIPTION   no description
#
# When no cupsd can be started, start writes the reason to DIR/unavailable
# and succeeds, so the tests that need the server skip; with
# TESSALINE_REQUIRE_CUPS=1 (as in CI) it fails instead.
set -eu

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}

[ $# -eq 2 ] || usage
action=$1
dir=$2
case "$dir" in
/*) ;;
*) dir="$(pwd)/$dir" ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
marker="$dir/.tessaline-private-cups"

stop_server() {
    [ -f "$dir/cupsd.pid" ] || return 0
    pid=$(cat "$dir/cupsd.pid")
    rm -f "$dir/cupsd.pid"
    # Only our own scheduler: the number may have been reused since.
    case "$(tr '\000' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" in
    "$dir/bin/cupsd "*) ;;
    *) return 0 ;;
    esac
    kill -TERM "$pid" 2>/dev/null || return 0
    i=0
    while kill -0 "$pid" 2>/dev/null; do
        i=$((i + 1))
        if [ $i -ge 100 ]; then
            kill -KILL "$pid" 2>/dev/null || true
            break
        fi
        sleep 0.1
    done
}

# Removes DIR, but only when it is empty or one of ours.
remove_dir() {
    [ -e "$dir" ] || return 0
    if [ -f "$marker" ] || [ -z "$(ls -A "$dir" 2>/dev/null)" ]; then
        rm -rf "$dir"
    else
        echo "private-cupsd: $dir is not a private CUPS folder; leaving it alone" >&2
        exit 1
    fi
}

unavailable() {
    echo "private-cupsd: $1" >&2
    if [ "${TESSALINE_REQUIRE_CUPS:-0}" = 1 ]; then
        [ -f "$dir/log/error_log" ] && tail -n 40 "$dir/log/error_log" >&2
        [ -f "$dir/log/cupsd.out" ] && tail -n 40 "$dir/log/cupsd.out" >&2
        exit 1
    fi
    echo "private-cupsd: the tests that need a CUPS server will be skipped" >&2
    printf '%s\n' "$1" >"$dir/unavailable"
    exit 0
}

find_tool() {
    for candidate in $(command -v "$1" 2>/dev/null) "/usr/sbin/$1" "/usr/bin/$1"; do
        if [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

start_server() {
    if [ -f "$marker" ]; then
        stop_server
    fi
    remove_dir
    mkdir -p "$dir"
    chmod 0755 "$dir"
    : >"$marker"
    mkdir -p "$dir/conf" "$dir/state" "$dir/cache" "$dir/spool/tmp" "$dir/log" \
        "$dir/bin/backend" "$dir/capture"

    cupsd=$(find_tool cupsd) || unavailable "no cupsd found (Debian package cups-daemon)"
    lpadmin=$(find_tool lpadmin) || unavailable "no lpadmin found (Debian package cups-client)"
    cupsreject=$(find_tool cupsreject) || unavailable "no cupsreject found (Debian package cups-client)"
    cupsdisable=$(find_tool cupsdisable) || unavailable "no cupsdisable found (Debian package cups-client)"
    lpstat=$(find_tool lpstat) || unavailable "no lpstat found (Debian package cups-client)"
    [ -x /usr/lib/cups/daemon/cups-exec ] || unavailable "no /usr/lib/cups/daemon/cups-exec"

    # A copy of the scheduler, so that a security profile written for the
    # system's own cupsd and its folders does not apply to this one.
    cp "$cupsd" "$dir/bin/cupsd"
    ln -s /usr/lib/cups/daemon "$dir/bin/daemon"
    cp "$here/capture-backend.sh" "$dir/bin/backend/capture"

    user_lines=""
    if [ "$(id -u)" -eq 0 ]; then
        # The scheduler runs backends as root only when no one else may run
        # them; as root, only root may write the capture folder anyway.
        chmod 0700 "$dir/bin/backend/capture"
    else
        chmod 0755 "$dir/bin/backend/capture"
        user_lines="User $(id -un)
Group $(id -gn)
SystemGroup $(id -gn)"
    fi

    cat >"$dir/conf/cups-files.conf" <<CONF
ServerRoot $dir/conf
StateDir $dir/state
CacheDir $dir/cache
ServerBin $dir/bin
RequestRoot $dir/spool
TempDir $dir/spool/tmp
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/state/printcap
FileDevice No
$user_lines
CONF

    cat >"$dir/conf/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel info
MaxLogSize 0
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
DefaultAuthType None
MaxJobs 0
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF

    "$dir/bin/cupsd" -f -c "$dir/conf/cupsd.conf" -s "$dir/conf/cups-files.conf" \
        </dev/null >"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"

    CUPS_SERVER="$dir/cups.sock"
    export CUPS_SERVER
    i=0
    until [ -S "$dir/cups.sock" ] && "$lpstat" -r 2>/dev/null | grep -q "is running"; do
        i=$((i + 1))
        if ! kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null; then
            rm -f "$dir/cupsd.pid"
            unavailable "cupsd stopped at start-up (see $dir/log)"
        fi
        if [ $i -ge 200 ]; then
            stop_server
            unavailable "cupsd did not answer within 20 s (see $dir/log)"
        fi
        sleep 0.1
    done

    device="capture:$dir/capture"
    {
        "$lpadmin" -p THERMAL_1 -D "THERMAL #1" -v "$device" -E &&
            "$lpadmin" -p THERMAL_12 -D "THERMAL #12" -v "$device" -E &&
            "$lpadmin" -p THERMAL_REJECTS -D "THERMAL #3" -v "$device" -E &&
            "$cupsreject" THERMAL_REJECTS &&
            "$lpadmin" -p THERMAL_STOPPED -D "THERMAL #4" -v "$device" -E &&
            "$cupsdisable" -r "paused for the test" THERMAL_STOPPED &&
            "$lpadmin" -p THERMAL_SLOW -D "THERMAL #5" -v "$device" -E &&
            "$lpadmin" -p NO_DESCRIPTION -v "$device" -E
    } 2>"$dir/log/lpadmin.out" || {
        cat "$dir/log/lpadmin.out" >&2
        stop_server
        unavailable "the test queues could not be created"
    }

    cat >"$dir/env" <<ENV
CUPS_SERVER=$dir/cups.sock
TESSALINE_CUPS_CAPTURE=$dir/capture
ENV
    echo "private-cupsd: running in $dir (CUPS_SERVER=$dir/cups.sock)"
}

case "$action" in
start) start_server ;;
stop)
    if [ -f "$marker" ]; then
        stop_server
        if [ "${TESSALINE_KEEP_CUPS:-0}" != 1 ]; then
            remove_dir
        fi
    fi
    ;;
*) usage ;;
esac
