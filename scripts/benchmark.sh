#!/usr/bin/env bash
# Builds what the benchmark needs, measures, and prints one table: every
# speed, memory and size figure beside its goal. A figure that misses its goal
# says so in the last column; the script still exits 0, since it only
# measures. It fails only when it could not measure.
# Usage: scripts/benchmark.sh [--smoke]
#   --smoke   each figure for a second or two, to show that all can be measured;
#             a second or two judges nothing, so the last column says "smoke"
#   BENCHMARK_IDLE_SECONDS=N   length of each idle run (default 30, 2 with --smoke)
#   BENCHMARK_WINDOWS_BUILD=DIR   Windows build tree to use (default build/benchmark-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

smoke=()
idle_seconds=${BENCHMARK_IDLE_SECONDS:-30}
memory_ms=8000
if [ "${1:-}" = "--smoke" ]; then
  smoke=(--smoke)
  idle_seconds=${BENCHMARK_IDLE_SECONDS:-2}
  memory_ms=2000
fi

native=build/benchmark
# A Windows build tree of its own, with its own Wine prefix, settings file and
# Documents folder: runs in the shared build/windows would change what tests
# running there at the same time see, and theirs would disturb the figures.
# BENCHMARK_WINDOWS_BUILD names another tree, for a run when nothing else uses it.
windows=${BENCHMARK_WINDOWS_BUILD:-build/benchmark-windows}
settings="$windows/Data/Plugins/Brackwell.ini"
rows=$(mktemp)
saved_settings=$(mktemp)
had_settings=false
measured_all=true

cleanup() {
  if $had_settings; then cp "$saved_settings" "$settings"; else rm -f "$settings"; fi
  rm -f "$rows" "$saved_settings"
  [ -x "$windows/wine-run" ] && "$windows/wine-run" --server -k 2>/dev/null || true
}
trap cleanup EXIT

# Runs a build step quietly, showing its output only when it fails.
quietly() {
  local output
  if ! output=$("$@" 2>&1); then
    echo "$output" >&2
    echo "benchmark: failed: $*" >&2
    exit 1
  fi
}

progress() { echo "benchmark: $*" >&2; }

# Adds rows from standard input to the table. In a smoke run the last column
# says "smoke" where it would give a verdict; a figure that could not be
# measured still says NO.
add_rows() {
  if ((${#smoke[@]})); then
    awk -F' [|] ' -v OFS=' | ' '$2 !~ /^not measured/ && ($5 == "yes" || $5 == "NO") { $5 = "smoke" } { print }'
  else
    cat
  fi >>"$rows"
}

row() { printf '%s | %s | %s | %s | %s\n' "$@" | add_rows; }

not_measured() { row "$1" "not measured: $2" - - NO; }

# comparison_row FIGURE A B UNIT LIMIT: A / B may be at most LIMIT.
comparison_row() {
  awk -v f="$1" -v a="$2" -v b="$3" -v u="$4" -v l="$5" 'BEGIN {
    r = b > 0 ? a / b : 999
    printf "%s | %s / %s %s | <= %.2f | %.3f | %s\n", f, a, b, u, l, r, r <= l ? "yes" : "NO" }' | add_rows
}

# A key=value figure from a program's output, e.g. field cpu_ms "$output";
# the last one where the program reports more than once (the sandbox's
# resources early and at the end).
field() { sed -n "s/.*[ :]$1=\([0-9.]*\).*/\1/p" <<<"$2" | tail -n 1; }

wine_run() { "$windows/wine-run" "$@" | tr -d '\r'; }

sandbox() { wine_run "$windows/sandbox.exe" "$@"; }

progress "building"
quietly cmake --preset benchmark
quietly cmake --build --preset benchmark --target benchmark_native
quietly cmake --preset windows -B "$windows"
quietly cmake --build "$windows" --target Brackwell sandbox sleeping_plugin benchmark_windows wine_prefix

progress "batch and log, native"
"$native/tools/benchmark/benchmark_native" "${smoke[@]}" | add_rows
progress "batch, watcher and log, Wine"
wine_run "$windows/benchmark_windows.exe" "${smoke[@]}" | add_rows

# The sandbox runs with the batches switched off, so the plug-in only idles.
mkdir -p "$(dirname "$settings")"
if [ -f "$settings" ]; then
  cp "$settings" "$saved_settings"
  had_settings=true
fi
printf '[Settings]\r\nOverlayBatch=0\r\n' >"$settings"

progress "idle cost, 2 runs of ${idle_seconds} s"
idle_args=(--no-window --report-times --run-ms $((idle_seconds * 1000)))
plugin_idle=$(field cpu_ms "$(sandbox "${idle_args[@]}")")
baseline_idle=$(field cpu_ms "$(sandbox "${idle_args[@]}" --dll sleeping_plugin.dll)")
idle_figure="idle CPU time, ${idle_seconds} s, switch off, Wine: plug-in / three sleeping threads"
if [ -n "$plugin_idle" ] && [ -n "$baseline_idle" ]; then
  comparison_row "$idle_figure" "$plugin_idle" "$baseline_idle" ms 1.2
else
  not_measured "$idle_figure" "no CPU time reported"
fi

progress "load entry and private bytes, 2 runs of $((memory_ms / 1000)) s"
with_plugin=$(sandbox --report-resources --report-times --run-ms "$memory_ms")
without_plugin=$(sandbox --no-plugin --report-resources --run-ms "$memory_ms")
load_ms=$(field load_entry_ms "$with_plugin")
with_kib=$(field private_kib "$with_plugin")
without_kib=$(field private_kib "$without_plugin")
if [ -n "$load_ms" ]; then
  row "load entry wall time, Wine" "$load_ms ms" - - -
else
  not_measured "load entry wall time, Wine" "no time reported"
fi
memory_figure="private bytes added by the plug-in and its threads, Wine"
if [ -n "$with_kib" ] && [ -n "$without_kib" ]; then
  row "$memory_figure" "$((with_kib - without_kib)) KiB ($with_kib - $without_kib KiB)" - - -
else
  not_measured "$memory_figure" "no private bytes reported"
fi

# Any figure, from this script or a benchmark program, that could not be
# measured fails the run (the DLL's rows below always measure).
if awk -F' [|] ' '$2 ~ /^not measured/ { found = 1 } END { exit !found }' "$rows"; then
  measured_all=false
fi

progress "the DLL"
objdump=x86_64-w64-mingw32-objdump
dll="$windows/Brackwell.dll"
stripped=$(mktemp)
x86_64-w64-mingw32-strip -o "$stripped" "$dll"
size=$(stat -c %s "$stripped")
rm -f "$stripped"
awk -v s="$size" 'BEGIN { l = 1200000
  printf "DLL: stripped size | %d bytes | <= %d bytes | %.3f | %s\n", s, l, s / l, s <= l ? "yes" : "NO" }' | add_rows

imports=$($objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -f | paste -sd' ')
import_names=$(tr '[:lower:]' '[:upper:]' <<<"$imports" | sed 's/\.DLL//g')
row "DLL: imports" "$imports" "KERNEL32 msvcrt SHELL32 USER32" - \
  "$([ "$import_names" = "KERNEL32 MSVCRT SHELL32 USER32" ] && echo yes || echo NO)"

exports=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' |
  sort | paste -sd' ')
row "DLL: exports" "$exports" "exactly two" - "$([ "$(wc -w <<<"$exports")" -eq 2 ] && echo yes || echo NO)"

# Two clean builds must agree on the DLL and on the PDB that matches it.
declare -A built=([DLL]=Brackwell.dll [PDB]=Brackwell.pdb)
reproducible() { echo "$1: sha256 of two clean builds in two folders"; }
sha256() { sha256sum "$1" | cut -c1-64; }
if ((${#smoke[@]})); then
  for kind in DLL PDB; do
    row "$(reproducible $kind)" "$(sha256 "$windows/${built[$kind]}") (one build: not rebuilt in a smoke run)" \
      identical - -
  done
else
  progress "two clean builds of the DLL and its PDB"
  declare -A sums
  for copy in 1 2; do
    scratch="build/benchmark-dll-$copy"
    rm -rf "$scratch"
    quietly cmake --preset windows -B "$scratch"
    quietly cmake --build "$scratch" --target Brackwell
    for kind in DLL PDB; do sums[$kind$copy]=$(sha256 "$scratch/${built[$kind]}"); done
    rm -rf "$scratch"
  done
  for kind in DLL PDB; do
    if [ "${sums[${kind}1]}" = "${sums[${kind}2]}" ]; then
      row "$(reproducible $kind)" "both ${sums[${kind}1]}" identical - yes
    else
      row "$(reproducible $kind)" "${sums[${kind}1]} / ${sums[${kind}2]}" identical - NO
    fi
  done
fi

# One table, its columns lined up.
{
  echo "figure | measured | limit | ratio | holds?"
  cat "$rows"
} | awk -F' [|] ' '
  function dashes(n,   text) { text = sprintf("%" n "s", ""); gsub(/ /, "-", text); return text }
  { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > width[i]) width[i] = length($i) } }
  NF > columns { columns = NF }
  END {
    for (r = 1; r <= NR; r++) {
      line = ""
      for (i = 1; i < columns; i++) line = line sprintf("%-" width[i] "s | ", cell[r, i])
      print line cell[r, columns]
      if (r > 1) continue
      rule = ""
      for (i = 1; i < columns; i++) rule = rule dashes(width[i]) "-+-"
      print rule dashes(width[columns])
    }
  }'
$measured_all
