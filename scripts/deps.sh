#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the test suite need.
# Only missing packages are installed; runs as root or through sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-image-formats-plugins
  qtkeychain-qt6-dev libsecret-1-0
  libgtest-dev libgmock-dev
  xvfb xauth fonts-dejavu-core
  dovecot-pop3d python3-aiosmtpd openssl
  # validates the output of --check-all --json against docs/check-all.schema.json
  python3-jsonschema
  gnome-keyring libsecret-tools dbus-daemon dbus-bin
  clang libclang-rt-14-dev
  # a public ham corpus (test mail of a mail-threading library) that the
  # shipped rule lists are checked against
  golang-github-gatherstars-com-jwz-dev
  # the Debian package: built by CPack (dpkg-shlibdeps), its desktop entry and
  # software-centre data checked
  dpkg-dev desktop-file-utils appstream
  # a mail retriever whose header screening the latency benchmark measures
  # beside the program's check
  mpop
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
