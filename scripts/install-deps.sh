#!/usr/bin/env bash
# Installs what building and testing Quorvane needs from Debian's packages and generates the
# zh_CN.UTF-8 locale. Idempotent and non-interactive; silent when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb x11-apps fonts-wqy-microhei locales googletest imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  if [ "$(id -u)" != 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq </dev/null >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  if [ "$(id -u)" != 0 ]; then
    echo "the zh_CN.UTF-8 locale is missing (run as root to generate it)" >&2
    exit 1
  fi
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
