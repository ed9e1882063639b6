#!/usr/bin/env bash
# A whole run of the shipped sizes over a pty against handset-sim (the flashing demo), and
# the transfer rate of each image as the trace records it, in MB/s.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/demo.sh > demo-out.log 2>&1 || { tail -20 demo-out.log; exit 1; }
grep -E '^(Outcome|Moved)' demo-out.log
# The last rate line of each image: bytes per second since the image's first chunk.
awk '/^==============( |Start )?(QCSBL|OEMSBL|AMSS|APPSBOOT|FLASH.bin|CEFS body)/ { name = $0 }
     /^total packet/ && name != "" { split($0, f, "rate "); last[name] = f[2]; order[name] = NR }
     END { for (n in last) printf "%s  %.1f MB/s\n", n, last[n] / 1e6 }' demo-out/trace.txt | sort
rm -f demo-out.log
