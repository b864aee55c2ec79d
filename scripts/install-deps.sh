#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quarry needs.
# Does nothing when they are all present already; uses sudo when not root.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  # libraries
  libsqlite3-dev libcurl4-openssl-dev libssl-dev
  # workbook (.xlsx) export
  libxlsxwriter-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libgl-dev fonts-dejavu-core
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # exported workbooks read back as another program reads them
  python3-openpyxl
  # the update codec's benchmark compares it with LZ4
  liblz4-dev
  # signed version lists and file digests of the updater and its publishing tool
  libsodium-dev
  # real peers the network tests start on 127.0.0.1
  nginx-light tinyproxy vsftpd openssl python3-aiosmtpd
  # the desktop program under a virtual display, and what a screen reader sees
  xvfb xauth dbus-x11 at-spi2-core python3-pyatspi
  # the updater's automation object on a private session bus (dbus-run-session)
  dbus-daemon
  # opening links, help pages and exported files with the desktop's programs
  xdg-utils
  # a locale with a decimal comma, so tests can check numbers that others read
  locales
  # the Debian package and its check: dpkg-shlibdeps for its dependencies,
  # the desktop entry's and software-centre entry's validators, man -l
  dpkg-dev desktop-file-utils appstream man-db
)

# Generates the German locale the number-format tests switch to, once.
ensure_test_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  $sudo sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -eq 0 ]; then
  ensure_test_locale
  exit 0
fi

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
# Debian starts these daemons on install; the tests run their own copies.
for svc in nginx tinyproxy vsftpd; do
  $sudo systemctl disable --now "$svc" >/dev/null 2>&1 || $sudo service "$svc" stop >/dev/null 2>&1 || true
done
ensure_test_locale
