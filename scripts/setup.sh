#!/usr/bin/env bash
# Installs the Debian packages Varelo needs. Safe to run again: apt skips what is there.
#   scripts/setup.sh          build + demo (compiler, Qt 6, XML/zip/JSON libraries, OpenCV, poppler, CJK fonts)
#   scripts/setup.sh --test   also what the tests need (LibreOffice Writer, poppler-utils, clang for sanitizers and fuzzing)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libgl-dev qt6-translations-l10n
  libpugixml-dev libzip-dev zlib1g-dev nlohmann-json3-dev libzxing-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev libpoppler-cpp-dev
  libxlsxwriter-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-fonttools
  fonts-noto-cjk fonts-arphic-ukai
)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(libreoffice-writer-nogui poppler-utils clang libclang-rt-14-dev python3-docx)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq || true
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
