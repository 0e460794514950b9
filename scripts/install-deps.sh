#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing TQ582 need.
# Idempotent: installs only what is missing, and refreshes the package lists at most once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev qt6-base-dev-tools libqt6sql6 libgl-dev
  libsqlcipher-dev libicu-dev libgsf-1-dev libpq-dev postgresql
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  xvfb xauth xdotool imagemagick fonts-ipafont-gothic
  # the readers of the workbook tests (tests/report/xls_check.py), and what the shared
  # checker ../shared/tools/xls/verify_xls needs besides, where it stands beside the repository
  python3 python3-xlrd libspreadsheet-parseexcel-perl
  python3-olefile libspreadsheet-writeexcel-perl
  # the workbook printed to PDF by a real spreadsheet program, one page per sheet
  libreoffice-calc-nogui
  clang libclang-rt-14-dev
  sqlcipher file desktop-file-utils
  tzdata
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if ! $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; then
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
