#!/usr/bin/env bash
# A whole run of the shipped sizes over a pty against handset-sim (the flashing demo): the
# rate of each image as the trace records it (whole seconds, so coarse), FLASH.bin timed to
# the millisecond while the trace is written, and beside it the raw rate of a pty on this
# machine (256-byte writes, as the flasher writes; the best of one measurement before the run
# and two after, since other work on the machine moves both figures). DEMO_SCALE=N divides the
# image sizes, as for the demo (CI runs it so, briefly, so that it cannot stop working unseen).
set -euo pipefail
cd "$(dirname "$0")/.."
out=demo-out/console  # where the console demo writes its run
raw_rate() { build/linux/bench/veltrane_pty_raw_rate | awk '{ print $3 }'; }
raw_before=$(raw_rate)
rm -rf "$out"
timing=$(mktemp)
log=$(mktemp)
python3 bench/trace_timer.py "$out/trace.txt" '============== FLASH.bin' > "$timing" &
timer=$!
tools/demo.sh > "$log" 2>&1 || { kill $timer 2>/dev/null; tail -20 "$log"; exit 1; }
wait $timer
grep -E '^(Outcome|Moved)' "$log"
rm -f "$log"
# The last rate line of each image: bytes per second since the image's first chunk.
awk '/^==============( |Start )?(QCSBL|OEMSBL|AMSS|APPSBOOT|FLASH.bin|CEFS body)/ { name = $0 }
     /^total packet/ && name != "" { split($0, f, "rate "); last[name] = f[2]; order[name] = NR }
     END { for (n in last) printf "%s  %.1f MB/s\n", n, last[n] / 1e6 }' "$out/trace.txt" | sort
raw=$(printf '%s\n' "$raw_before" "$(raw_rate)" "$(raw_rate)" |
      awk '{ if ($1 > best) best = $1 } END { printf "%.1f", best }')
seconds=$(cat "$timing")
rm -f "$timing"
[ -n "$seconds" ] || { echo "FLASH.bin was never timed: its lines did not reach $out/trace.txt"; exit 1; }
bytes=$(stat -c %s "$out/images/FLASH.bin")
flash=$(echo "$bytes / $seconds / 1000000" | bc -l)
printf 'FLASH.bin: %s bytes in %s s, %.1f MB/s\n' "$bytes" "$seconds" "$flash"
printf 'Raw pty, 256-byte writes (best of 3): %s MB/s; FLASH.bin at %.2f of it\n' "$raw" \
    "$(echo "$flash / $raw" | bc -l)"
