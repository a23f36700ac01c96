#!/usr/bin/env bash
# Sets up the machine, builds Varelo and generates the default sheet into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target varelo
mkdir -p out
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
./build/src/app/cli/varelo generate -o out/sheet.docx --pdf out/sheet.pdf --png out/sheet
echo "Wrote: out/sheet.docx, out/sheet.pdf, out/sheet-1.png, out/sheet-2.png"
