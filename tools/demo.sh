#!/usr/bin/env bash
# The console demo: a full run against the simulated handset through the console flasher.
# A deterministic image set of the shipped sizes (about 132 MB) is packed into a copy of
# veltrane-flash, the simulated handset listens on a pty, the flasher writes every image,
# and what the handset recorded is compared with the package image by image.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/linux
out=$root/demo-out/console
scale=${DEMO_SCALE:-1}

rm -rf "$out"
mkdir -p "$out/images"
echo "== Generating the sample image set (scale 1/$scale)"
python3 tools/demo/make_sample_images.py "$out/images" resources/programmer/NPRG7200A.hex --scale "$scale"

echo "== Packing it into the flasher with veltrane-pack"
"$build/tools/pack/veltrane-pack" create --images "$out/images" --family C --id 47 \
    --exe "$build/tools/flash/veltrane-flash" --out "$out/veltrane-flash"
chmod +x "$out/veltrane-flash"
"$build/tools/pack/veltrane-pack" verify "$out/veltrane-flash"

# Every image, CEFS included; the handset's stored table is taken as sent (no override).
printf '1011111' > "$out/a.ini"

echo "== Starting the simulated handset"
"$build/sim/handset-sim" --link "$out/handset" --manifest "$out/manifest.json" \
    --programmer resources/programmer/NPRG7200A.hex --log "$out/handset.log" \
    > "$out/handset.out" 2>&1 < /dev/null &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q '^READY' "$out/handset.out" 2>/dev/null && break
    sleep 0.1
done
grep -q '^READY' "$out/handset.out" || { echo "the simulated handset did not start"; cat "$out/handset.out"; exit 1; }

echo "== Flashing through veltrane-flash"
start=$(date +%s.%N)
status=0
(cd "$out" && ./veltrane-flash --port "$out/handset") || status=$?
end=$(date +%s.%N)
wait $sim || true
trap - EXIT

echo
echo "== Checking what the handset received"
compare=0
python3 tools/demo/compare_manifest.py "$out/manifest.json" "$out/images" "$out/a.ini" || compare=$?
bytes=$(du -cb "$out/images"/*.mbn "$out/images/FLASH.bin" | tail -1 | cut -f1)
seconds=$(echo "$end - $start" | bc)
echo
if [ "$status" = 0 ] && [ "$compare" = 0 ]; then
    echo "Outcome: SUCCESS - every selected image arrived byte for byte and the handset was reset."
else
    echo "Outcome: FAILED (flasher exit status $status, comparison status $compare)."
fi
printf 'Moved %s bytes in %.1f s (%.1f MB/s, including the 5-second wait after GO).\n' \
    "$bytes" "$seconds" "$(echo "$bytes / $seconds / 1000000" | bc -l)"
echo "Trace: $out/trace.txt"
echo "make demo runs the same flashing through Veltrane.exe's wizard under Wine."
[ "$status" = 0 ] && [ "$compare" = 0 ]
