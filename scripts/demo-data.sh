#!/usr/bin/env bash
# Fills the demo site's database with a few staff members and their shifts, once.
set -euo pipefail
ctl="$1"
site="$2"
cd "$site"
[ -x "$ctl" ] || exit 0
if ! "$ctl" help 2>&1 | grep -q 'staff '; then
  exit 0  # the staff commands are not built yet
fi
if [ -n "$("$ctl" staff list 2>/dev/null)" ]; then
  exit 0
fi
"$ctl" staff set --code 0001 --name "山田 太郎" --type 0 --joined 2019/04/01 --shift A >/dev/null
"$ctl" staff set --code 0002 --name "佐藤 花子" --type 1 --joined 2021/10/01 --shift B >/dev/null
"$ctl" staff set --code 0003 --name "鈴木 一郎" --type 2 --joined 2023/06/15 --no-overtime --shift A >/dev/null
"$ctl" staff set --code 0004 --name "高橋 美咲" --type 3 --joined 2024/01/10 --shift C >/dev/null
