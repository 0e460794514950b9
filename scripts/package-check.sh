#!/usr/bin/env bash
# CI: builds the Debian package, installs it with apt-get, runs the installed tq582ctl and
# TQ582 on a copy of the installed demo site, and removes the package again (also when a
# step fails). Needs root (or sudo).
#
# The machine's clock is never at risk: the copied site's system file points the time
# server at a port of 127.0.0.1 where nothing answers, so no network time ever arrives; and
# the terminal runs without CAP_SYS_TIME in its capability bounding set.
# Usage: scripts/package-check.sh [PACKAGE.deb]  (default: build it with scripts/package.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

deb="${1:-}"
if [ -z "$deb" ]; then
  deb="$(bash scripts/package.sh default | tail -n 1)"
fi
case "$deb" in /*) ;; *) deb="./$deb" ;; esac
echo "== package: $deb"
dpkg-deb --info "$deb" | sed -n 's/^ *\(Depends\|Installed-Size\):/  &/p'

work="$(mktemp -d)"
terminal_pid=""
cleanup() {
  if [ -n "$terminal_pid" ] && kill -0 "$terminal_pid" 2>/dev/null; then
    kill "$terminal_pid" 2>/dev/null || true
    wait "$terminal_pid" 2>/dev/null || true
  fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y tq582 >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "package check FAILED: $*" >&2
  exit 1
}

# A package left from an earlier run would make apt-get keep the old build.
if dpkg-query -W -f='${Status}' tq582 2>/dev/null | grep -q 'install ok installed'; then
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y tq582 >/dev/null
fi
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" \
  >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get install"; }

echo "== installed files"
for f in /usr/lib/tq582/TQ582 /usr/lib/tq582/libHorvex.so /usr/lib/tq582/tq582-desktop \
  /usr/bin/tq582ctl /usr/share/man/man1/tq582ctl.1.gz /usr/share/man/man1/TQ582.1.gz \
  /usr/share/applications/tq582.desktop /usr/share/icons/hicolor/scalable/apps/tq582.svg \
  /usr/share/bash-completion/completions/tq582ctl /usr/share/doc/tq582/copyright \
  /usr/share/tq582/site/TQ582/TQ582.ini /usr/share/tq582/site/TQ582/Sys.ini; do
  [ -e "$f" ] || fail "$f is missing"
done
[ "$(readlink -f /usr/bin/TQ582)" = /usr/lib/tq582/TQ582 ] || fail "/usr/bin/TQ582 is no link to the terminal"
[ -d /usr/share/tq582/site/DB ] && [ -d /usr/share/tq582/site/EXCEL ] || fail "site folders missing"
if dpkg -L tq582 | grep -Eq '(_test|bench_|fuzz_)'; then
  fail "the package holds test, benchmark or fuzz programs"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/tq582.desktop || fail "desktop entry"
fi
if command -v man >/dev/null; then
  man -w tq582ctl >/dev/null && man -w TQ582 >/dev/null || fail "man pages not found by man"
  for page in tq582ctl TQ582; do
    warnings="$(man --warnings "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "man $page renders with warnings: $warnings"
  done
fi
# The completion offers the commands and each command's actions.
bash -c 'source /usr/share/bash-completion/completions/tq582ctl
  COMP_WORDS=(tq582ctl staff ""); COMP_CWORD=2; _tq582ctl tq582ctl "" staff
  [ "${COMPREPLY[*]}" = "set delete list" ]' || fail "bash completion"
# ... and every command the installed tool lists in its help.
commands="$(/usr/bin/tq582ctl --help | awk '/^Commands/ {f = 1; next} f && /^  [a-z]/ {print $1}')"
offered="$(bash -c 'source /usr/share/bash-completion/completions/tq582ctl
  COMP_WORDS=(tq582ctl ""); COMP_CWORD=1; _tq582ctl; printf "%s\n" "${COMPREPLY[@]}"')"
[ -n "$commands" ] && [ "$(sort <<<"$commands")" = "$(sort <<<"$offered")" ] ||
  fail "the completion offers [$offered], the tool lists [$commands]"
if command -v man >/dev/null; then
  for c in $commands; do
    man tq582ctl 2>/dev/null | grep -q "^ *$c\b" || fail "man tq582ctl does not describe $c"
  done
fi

echo "== tq582ctl from /usr/bin on a copy of the demo site"
cp -R /usr/share/tq582/site "$work/site"
cd "$work/site/TQ582"
# A UDP port of 127.0.0.1 that nothing listens on: the time server that never answers.
port="$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
printf '[MDBName]\r\n../DB/DB.mdb\r\n[NTPServer]\r\n127.0.0.1:%s\r\n' "$port" >Sys.ini

ctl=/usr/bin/tq582ctl
"$ctl" --version | grep -Eq '^tq582ctl [0-9]' || fail "tq582ctl --version"
"$ctl" staff --help >"$work/help.txt" || fail "tq582ctl staff --help exits non-zero"
grep -q '^usage: tq582ctl staff ' "$work/help.txt" || fail "tq582ctl staff --help printed no usage"
# check-settings exits 1 when it has warnings; only 2 (unreadable) is a failure here.
set +e
"$ctl" check-settings >"$work/check.txt"
rc=$?
set -e
[ "$rc" -le 1 ] || fail "check-settings exit $rc"
grep -q '^settings file: ' "$work/check.txt" || fail "check-settings printed no settings file"
"$ctl" staff set --code 0001 --name "山田 太郎" --type 0 --joined 2019/04/01 --shift A \
  --now "2026/04/01 08:00:00" >/dev/null || fail "staff set"
"$ctl" staff list | grep -q "^0001	山田 太郎	" || fail "staff list does not show 0001"
"$ctl" punch in --code 0001 --now "2026/04/01 08:55:00" || fail "punch in"
"$ctl" punch out --code 0001 --now "2026/04/01 18:05:00" || fail "punch out"
"$ctl" review --code 0001 --now "2026/04/01 18:06:00" >"$work/review.txt" || fail "review"
# The day's line: date, weekday, shift, ..., clock-in 8:55, clock-out 18:05.
grep -q "^04/01	.*	8:55	18:05	" "$work/review.txt" || { cat "$work/review.txt"; fail "review does not show the day's punches"; }
# A request for the next day, then the month's workbook into a folder of its own.
"$ctl" request register --code 0001 --date 2026/04/02 --kind 有給休暇 \
  --now "2026/04/01 18:06:00" >"$work/request.txt" || { cat "$work/request.txt"; fail "request register"; }
"$ctl" review --code 0001 --now "2026/04/01 18:07:00" | grep -q "^04/02	.*	有給休暇	" ||
  fail "review does not show the registered request"
"$ctl" export --out "$work/excel" --now "2026/04/01 18:08:00" >"$work/export.txt" ||
  { cat "$work/export.txt"; fail "export"; }
xls="$(tail -n 1 "$work/export.txt")"
case "$xls" in "$work/excel/"*.xls) ;; *) fail "export printed \"$xls\", not a workbook in $work/excel" ;; esac
[ -s "$xls" ] || fail "export: $xls does not exist"
if command -v file >/dev/null; then
  file -b "$xls" | grep -Eq 'Composite Document File|CDFV2' || fail "export: $xls is $(file -b "$xls")"
fi
echo "tq582ctl: --version, staff --help, check-settings, staff set/list, punch in/out, review,"
echo "          request register, export passed"

echo "== /usr/bin/TQ582 offscreen"
db="$work/site/DB/DB.mdb"
log_rows() {
  sqlcipher "$db" "PRAGMA key='kzq4719'; SELECT count(*) FROM \"T_ログ\" WHERE \"処理名\" = '$1';" |
    tail -n 1
}
before="$(log_rows 開始)"
# setpriv keeps CAP_SYS_TIME out of the terminal's reach even though CI runs as root.
QT_QPA_PLATFORM=offscreen setpriv --bounding-set=-sys_time --inh-caps=-sys_time \
  /usr/bin/TQ582 >"$work/terminal.out" 2>&1 &
terminal_pid=$!
sleep 4
kill -0 "$terminal_pid" 2>/dev/null || { cat "$work/terminal.out"; fail "TQ582 ended early"; }
after="$(log_rows 開始)"
[ "$after" -eq $((before + 1)) ] || { cat "$work/terminal.out"; fail "no start-up log row (before $before, after $after)"; }
kill "$terminal_pid"
wait "$terminal_pid" 2>/dev/null || true
terminal_pid=""
echo "TQ582 started, logged 開始, ended by its pid"
cd /
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y tq582 >/dev/null
[ ! -e /usr/bin/tq582ctl ] && [ ! -e /usr/lib/tq582 ] || fail "files left after removing the package"
echo "== package check passed"
