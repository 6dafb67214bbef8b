#!/usr/bin/env bash
# Runs one fixed session of commands on a small demo folder of digit-only codes and prints a
# manifest: the checksum of every command's output and exit code, then of every file the session
# left. The folder's own path is replaced by @D@ first, so the manifest does not depend on where
# it ran. Usage: numeric_golden.sh VELOR WORKDIR [extra demo options]
set -uo pipefail
velor=$1 work=$2
shift 2
export LC_ALL=C QT_QPA_PLATFORM=offscreen
rm -rf "$work" && mkdir -p "$work"
D=$work/g
sum() { sed "s#$D#@D@#g" | sha256sum | cut -c1-16; }
run() {
  local label=$1
  shift
  local out rc
  out=$("$velor" "$@" 2>&1)
  rc=$?
  echo "cmd $label rc=$rc $(printf '%s' "$out" | sum)"
}
run demo demo "$D" --stocks 40 --seed 3 "$@"
h=(--home "$D")
# Without its list of names the download leaves new listings unnamed, as before such lists; so
# the master, the screens and every price file stay comparable with the manifest of earlier versions.
sed -i '/^NameListUrl=/d' "$D/sites.ini"
run quote-1301 "${h[@]}" --now "2026-11-30 10:15" quote 1301
run minute-collect "${h[@]}" --now "2026-11-30 10:15" minute collect
run minute-show "${h[@]}" --now "2026-11-30 10:16" minute show 1301
run alert-set "${h[@]}" --now "2026-11-30 10:16" alert set 1301 --above 100000 --below 1
run alert-list "${h[@]}" alert list
run monitor "${h[@]}" --now "2026-11-30 10:20" monitor --passes 2 --wait 0
run download "${h[@]}" --now "2026-12-11 18:00" download --yes
run import-empty "${h[@]}" --now "2026-12-11 18:00" import
run export-d "${h[@]}" --now "2026-12-11 18:00" export 1301
run export-w "${h[@]}" --now "2026-12-11 18:00" export 1001 --period w
run export-m "${h[@]}" --now "2026-12-11 18:00" export 2170 --period m
for s in ranking toujitu "haba 2" shinki rsi rci kairi psyc per pbr eps bps haitou skd; do
  # shellcheck disable=SC2086
  run "screen-${s// /-}" "${h[@]}" --now "2026-12-11 18:00" screen $s --out "$work/screen-${s// /-}.txt"
done
run screen-live "${h[@]}" --now "2026-12-11 14:40" screen ranking --live
run watch-add "${h[@]}" watch add 2 2170
run watch-add2 "${h[@]}" watch add 2 1301
run watch-sort "${h[@]}" watch sort
run watch-list "${h[@]}" watch list 2
run watch-remove "${h[@]}" watch remove 2 2170
run search "${h[@]}" search 製
run chart "${h[@]}" --now "2026-12-11 18:00" chart 1301 --png "$work/chart.png"
run chart-w "${h[@]}" --now "2026-12-11 18:00" chart 1001 --period w --indicator rci --png "$work/chart-w.png"
cd "$work" || exit 1
# demo.ini only names the market the demo was made from, for its page server.
find . -type f ! -name '*.pdf' ! -name '*.lock' ! -name demo.ini | LC_ALL=C sort | while read -r f; do
  echo "file $f $(sum <"$f")"
done
