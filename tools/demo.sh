#!/usr/bin/env bash
# The flashing demo. The session driver, trace and settings are built and tested; the
# protocol, the simulated handset and the console flasher that the demo drives are still
# being built, so for now this says so instead of pretending to flash.
set -euo pipefail
cd "$(dirname "$0")/.."
echo
echo "Veltrane built: build/linux (native tools and tests), build/windows-x64 and build/windows-x86 (Windows programs)."
echo "The flashing demo against the simulated handset is not available yet: it arrives with the"
echo "download protocol, the simulated handset and the console flasher."
