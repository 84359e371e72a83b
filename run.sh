#!/bin/bash
# Installs what is missing, builds Veilmark and opens its dialog.
#   ./run.sh          the dialog
#   ./run.sh sample   first writes sample/, a dozen made-up patients' images
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target veilmark veilmark-cli veilmark-fixtures

if [ "${1:-}" = sample ]; then
  rm -rf sample
  build/bin/veilmark-fixtures sample 12
  echo "run.sh: wrote 12 synthetic images to $(pwd)/sample"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display to open the Veilmark dialog on; anonymize from the command line instead: build/bin/veilmark-cli FOLDER" >&2
  exit 1
fi
exec build/bin/veilmark
