#!/bin/sh
# Time and peak memory of tq582ctl on a settings file of 7 million lines (about 50 MB): the
# site rules, then a rest-day list far beyond the 366 entries it may hold.
#   bench/huge_settings.sh [path/to/tq582ctl]   (default: build/default/bin/tq582ctl)
# Prints the elapsed time and the maximum resident set of `check-settings` and of one
# `punch in` on that file (GNU time's -f; without /usr/bin/time only the shell's timing).
set -eu
tool=$(realpath "${1:-build/default/bin/tq582ctl}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ini="$work/TQ582/TQ582.ini"
mkdir -p "$work/TQ582"
printf '[給与締日]\r\n末日\r\n[始業時刻]\r\n09:00\r\n[終業時刻]\r\n18:00\r\n[休日]\r\n' > "$ini"
yes '12/29' | head -n 7000000 | sed 's/$/\r/' >> "$ini"
ls -l "$ini" | awk '{printf "settings file: %d bytes, ", $5}'
wc -l < "$ini" | awk '{print $1 " lines"}'
cd "$work/TQ582"
measure() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f "  %e s elapsed, %M KiB peak resident" "$@" > /dev/null 2> "$work/err" || true
        tail -n 1 "$work/err"
    else
        time "$@" > /dev/null 2>&1 || true
    fi
}
echo "check-settings:"
measure "$tool" check-settings
"$tool" staff set --code 0001 --name x --now "2024/05/08 08:00:00" > /dev/null 2>&1
echo "punch in:"
measure "$tool" punch in --code 0001 --now "2024/05/08 08:00:00"
