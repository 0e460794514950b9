#!/usr/bin/env bash
# Fills the demo site's database with a few staff members and their shifts, once: when the
# staff list is empty. Runs in the site's working directory, so the tool finds the database
# through the site's system file.
set -euo pipefail
ctl="$1"
site="$2"
cd "$site"
# Listing only reads: on a new site the database does not exist yet (exit 2), and the first
# registration below creates it.
listing="$("$ctl" staff list 2>/dev/null || true)"
if [ -n "$listing" ]; then
  exit 0
fi
month="$(date +%Y/%m)"
days_in_month="$(date -d "$(date +%Y-%m-01) +1 month -1 day" +%d)"
pattern() {  # one shift code per day of the current month
  local code="$1" out=""
  for ((d = 1; d <= 10#$days_in_month; d++)); do
    out+="${out:+,}$code"
  done
  printf '%s' "$out"
}
"$ctl" staff set --code 0001 --name "山田 太郎" --type 0 --joined 2019/04/01 --shift A >/dev/null
"$ctl" staff set --code 0002 --name "佐藤 花子" --type 1 --joined 2021/10/01 --shift B >/dev/null
"$ctl" staff set --code 0003 --name "鈴木 一郎" --type 2 --joined 2023/06/15 --no-overtime --shift A >/dev/null
"$ctl" staff set --code 0004 --name "高橋 美咲" --type 3 --joined 2024/01/10 --shift C >/dev/null
# Sato works the early shift all month; Takahashi nights.
"$ctl" shift set --code 0002 --month "$month" --days "$(pattern B)" >/dev/null
"$ctl" shift set --code 0004 --month "$month" --days "$(pattern C)" >/dev/null
echo "Demo staff registered: 0001 山田 太郎, 0002 佐藤 花子, 0003 鈴木 一郎, 0004 高橋 美咲"
