# shellcheck shell=bash
# Sourced: a CUPS scheduler of the caller's own in a folder of its own
# ($cups, readable by the filters, which run as lp), with a socket, spool
# and logs inside, and file printers; Wine lists its printers when
# CUPS_SERVER (exported here) names its socket in every wine call. The
# caller defines fail, and stops it with cups_server_stop.
cups_running() { lpstat -r 2>/dev/null | grep -q 'scheduler is running'; }

cups_server_start() {
    cups="$(mktemp -d /tmp/cups-smoke.XXXXXX)"
    chmod 755 "$cups"
    mkdir -p "$cups/log" "$cups/spool/temp"
    cat >"$cups/cupsd.conf" <<END
Listen $cups/socket
Browsing Off
WebInterface No
LogLevel info
ErrorPolicy abort-job
PreserveJobFiles Yes
<Policy default>
<Limit All>
Order Deny,Allow
</Limit>
</Policy>
END
    {
        echo "FileDevice Yes"
        for place in "ServerRoot " "StateDir " "CacheDir /cache" "RequestRoot /spool" \
            "TempDir /spool/temp" "Printcap /printcap" "AccessLog /log/access_log" \
            "ErrorLog /log/error_log" "PageLog /log/page_log"; do
            echo "${place%% *} $cups${place#* }"
        done
    } >"$cups/cups-files.conf"
    setsid /usr/sbin/cupsd -f -c "$cups/cupsd.conf" -s "$cups/cups-files.conf" >/dev/null 2>&1 &
    cups_pid=$!
    export CUPS_SERVER="$cups/socket"
    poll_until 200 cups_running || fail "cupsd did not start: $(tail "$cups/log/error_log" 2>&1)"
}

# A printer NAME of paper PAGESIZE (A4, Letter) that writes its jobs to
# "$cups/NAME.out", as PostScript.
cups_add_printer() {
    /usr/sbin/lpadmin -p "$1" -E -v "file://$cups/$1.out" -m drv:///sample.drv/generic.ppd \
        -o "PageSize=$2" >/dev/null 2>&1 || fail "lpadmin could not add the printer $1"
}

cups_server_stop() {
    if [ -n "${cups_pid:-}" ]; then
        kill -- "-$cups_pid" 2>/dev/null || kill "$cups_pid" 2>/dev/null || true
        wait "$cups_pid" 2>/dev/null || true  # it writes its state as it ends
        cups_pid=""
    fi
    if [ -n "${cups:-}" ]; then
        rm -rf "$cups" || true
        cups=""
    fi
}
