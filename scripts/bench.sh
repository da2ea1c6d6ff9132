#!/usr/bin/env bash
# Builds the program and the benchmarks (Release) and runs every benchmark, printing one table.
#
#   scripts/bench.sh [--runs N] [--build-dir DIR]
#
# Start-up and peak memory are watched from outside under a private Xvfb: bench/startup_probe forks
# the real program (or the minimal Qt dialog), waits for its first top-level window to be mapped and
# drawn, kills it and reads its peak RSS. The two programs alternate run by run, so that the load of
# the machine falls on both alike. Nothing here is a test; CTest never runs it.
set -euo pipefail

runs=20
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --build-dir) build="$2"; shift 2 ;;
    *) echo "usage: scripts/bench.sh [--runs N] [--build-dir DIR]" >&2; exit 2 ;;
  esac
done

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARVOLEN_BUILD_BENCHMARKS=ON "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j2 --target marvolen sample_bank minimal_dialog make_bank flow_bench startup_probe \
  questionbank_bench >/dev/null

work="$(mktemp -d /tmp/marvolen-bench-XXXXXX)"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/sample" "$work/large" "$work/runtime"
chmod 700 "$work/runtime"
cp "$build/sample/tovra.mdb" "$work/sample/"
"$build/bench/make_bank" "$work/large/tovra.mdb" 1000 100
export XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8

# ---- the machine ---------------------------------------------------------------------------------
cpu="$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')"
qt="$(qtpaths6 --qt-version 2>/dev/null || dpkg-query -W -f='${Version}' libqt6core6)"
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
echo "machine: $(nproc) cores, $cpu, Qt $qt, $(uname -sr)"
echo "load average before: $load_before"

# ---- start-up and peak memory under Xvfb ---------------------------------------------------------
display=""
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
Xvfb "$display" -noreset -nolisten tcp -screen 0 1280x1024x24 >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display"
unset QT_QPA_PLATFORM

# The program lets only one copy run per network namespace (an abstract socket): each run gets a
# namespace of its own, so that a copy someone else runs on this machine does not make ours end at
# once. The minimal dialog runs the same way, so that both pay the same.
isolate=()
if unshare -n true 2>/dev/null; then
  isolate=(unshare -n)
else
  echo "note: unshare -n is not permitted here; a marvolen already running would spoil the runs" >&2
fi

probe() { # name dir program [args...]
  local line name=$1 dir=$2
  shift 2
  if line="$("${isolate[@]}" "$build/bench/startup_probe" -C "$dir" "$@")"; then
    echo "$name $line" >>"$work/startup.txt"
  else
    echo "$name failed" >&2
  fi
}
: >"$work/startup.txt"
# The main dialog's size in pixels, as the program lays it out under this Xvfb.
dialog_width="" dialog_height=""
read -r dialog_width dialog_height < <("${isolate[@]}" "$build/bench/startup_probe" -v -C "$work/sample" \
  "$build/app/marvolen" 2>&1 >/dev/null | sed -n 's/^mapped at .* ms: \([0-9]*\)x\([0-9]*\)$/\1 \2/p')
# Two unmeasured rounds: fonts, the file cache and the dynamic loader's caches come up once.
for round in $(seq -2 "$runs"); do
  [ "$round" -le 0 ] && out=/dev/null || out="$work/startup.txt"
  if [ "$out" = /dev/null ]; then
    "${isolate[@]}" "$build/bench/startup_probe" -C "$work/sample" "$build/app/marvolen" >/dev/null || true
    "${isolate[@]}" "$build/bench/startup_probe" -C "$work" "$build/bench/minimal_dialog" >/dev/null || true
    continue
  fi
  # The order within a round alternates too.
  if [ $((round % 2)) -eq 0 ]; then
    probe minimal "$work" "$build/bench/minimal_dialog"
    probe sample "$work/sample" "$build/app/marvolen"
  else
    probe sample "$work/sample" "$build/app/marvolen"
    probe minimal "$work" "$build/bench/minimal_dialog"
  fi
  probe large "$work/large" "$build/app/marvolen"
  # Not a reference: the minimal dialog at the main dialog's size, to tell what the area alone costs.
  if [ -n "$dialog_width" ]; then
    probe sized "$work" "$build/bench/minimal_dialog" --size "$dialog_width" "$dialog_height"
  fi
done

# stats NAME FIELD: "median min max p25 p75" of one column of the probe lines for NAME.
stats() {
  awk -v n="$1" -v f="$2" '$1 == n { print $f }' "$work/startup.txt" | sort -g | awk '
    { v[NR] = $1 }
    END {
      if (NR == 0) { print "- - - - -"; exit }
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      q1 = v[int((NR - 1) * 0.25) + 1]; q3 = v[int((NR - 1) * 0.75) + 1]
      printf "%.1f %.1f %.1f %.1f %.1f\n", m, v[1], v[NR], q1, q3
    }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

read -r min_med min_lo min_hi min_q1 min_q3 <<<"$(stats minimal 3)"
read -r smp_med smp_lo smp_hi smp_q1 smp_q3 <<<"$(stats sample 3)"
read -r big_med big_lo big_hi big_q1 big_q3 <<<"$(stats large 3)"
read -r siz_med siz_lo siz_hi siz_q1 siz_q3 <<<"$(stats sized 3)"
read -r sizc_med _ <<<"$(stats sized 5)"
read -r minm_med _ <<<"$(stats minimal 2)"
read -r smpm_med _ <<<"$(stats sample 2)"
read -r bigm_med _ <<<"$(stats large 2)"
read -r minr_med minr_lo minr_hi _ <<<"$(stats minimal 4)"
read -r smpr_med smpr_lo smpr_hi _ <<<"$(stats sample 4)"
read -r bigr_med bigr_lo bigr_hi _ <<<"$(stats large 4)"
read -r minc_med minc_lo minc_hi _ <<<"$(stats minimal 5)"
read -r smpc_med smpc_lo smpc_hi _ <<<"$(stats sample 5)"
read -r bigc_med bigc_lo bigc_hi _ <<<"$(stats large 5)"
count() { awk -v n="$1" '$1 == n' "$work/startup.txt" | wc -l; }

echo
echo "## Start-up to the main dialog shown (Xvfb, $runs runs each, alternating; ms from fork)"
echo
echo "| program | mapped, median | drawn, median | drawn p25-p75 | drawn min-max | runs | vs minimal | CPU ms, median | CPU vs minimal |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
printf '| minimal Qt dialog with a list box | %s | %s | %s-%s | %s-%s | %s | 1.00 | %s | 1.00 |\n' \
  "$minm_med" "$min_med" "$min_q1" "$min_q3" "$min_lo" "$min_hi" "$(count minimal)" "$minc_med"
printf '| marvolen, sample bank | %s | %s | %s-%s | %s-%s | %s | **%s** (goal 1.2) | %s | %s |\n' \
  "$smpm_med" "$smp_med" "$smp_q1" "$smp_q3" "$smp_lo" "$smp_hi" "$(count sample)" "$(ratio "$smp_med" "$min_med")" \
  "$smpc_med" "$(ratio "$smpc_med" "$minc_med")"
printf '| marvolen, 1,000 x 100 bank | %s | %s | %s-%s | %s-%s | %s | %s | %s | %s |\n' \
  "$bigm_med" "$big_med" "$big_q1" "$big_q3" "$big_lo" "$big_hi" "$(count large)" "$(ratio "$big_med" "$min_med")" \
  "$bigc_med" "$(ratio "$bigc_med" "$minc_med")"
printf '| (minimal dialog at %sx%s, the main dialog'"'"'s size) | %s | %s | %s-%s | %s-%s | %s | %s | %s | %s |\n' \
  "$dialog_width" "$dialog_height" "$(stats sized 2 | cut -d' ' -f1)" "$siz_med" "$siz_q1" "$siz_q3" "$siz_lo" \
  "$siz_hi" "$(count sized)" "$(ratio "$siz_med" "$min_med")" "$sizc_med" "$(ratio "$sizc_med" "$minc_med")"

mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
echo
echo "## Peak memory (ru_maxrss at the dialog shown, median of the same runs; MB)"
echo
echo "| program | median | min-max | vs minimal |"
echo "|---|---:|---:|---:|"
printf '| minimal Qt dialog with a list box | %s | %s-%s | 1.00 |\n' "$(mb "$minr_med")" "$(mb "$minr_lo")" "$(mb "$minr_hi")"
printf '| marvolen, sample bank | %s | %s-%s | %s |\n' "$(mb "$smpr_med")" "$(mb "$smpr_lo")" "$(mb "$smpr_hi")" \
  "$(ratio "$smpr_med" "$minr_med")"
printf '| marvolen, 1,000 x 100 bank | %s | %s-%s | %s |\n' "$(mb "$bigr_med")" "$(mb "$bigr_lo")" "$(mb "$bigr_hi")" \
  "$(ratio "$bigr_med" "$minr_med")"

kill "$xvfb_pid" 2>/dev/null || true
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=""

# ---- the program path, headless ------------------------------------------------------------------
export QT_QPA_PLATFORM=offscreen
unset DISPLAY
QT_QPA_PLATFORM=offscreen "$build/bench/flow_bench" -r 10 "$work/large" "$work/sample" >"$work/flow.txt"
echo
echo "## The program path, headless (offscreen, 10 repeats alternating; median ms, min-max)"
echo
grep '^#' "$work/flow.txt" | sed 's/^# /    /;s|'"$work"'/||'
echo
echo "| phase | 1,000 x 100 bank | sample bank | ratio |"
echo "|---|---:|---:|---:|"
for phase in open dialog catalog start answer evaluate total; do
  read -r _ _ lm llo lhi <<<"$(awk -v p="$phase" '$1 == 0 && $2 == p' "$work/flow.txt")"
  read -r _ _ sm slo shi <<<"$(awk -v p="$phase" '$1 == 1 && $2 == p' "$work/flow.txt")"
  case "$phase" in
    open) what="connection opened on tovra.mdb" ;;
    dialog) what="main dialog built: catalog filled, first test started" ;;
    catalog) what="catalog filled again (SELECT, sorted insert)" ;;
    start) what="a test in the middle of the list started" ;;
    answer) what="every question but the last answered" ;;
    evaluate) what="last answer: evaluation shown" ;;
    total) what="all of the above" ;;
  esac
  printf '| %s | %s (%s-%s) | %s (%s-%s) | %s |\n' "$what" "$lm" "$llo" "$lhi" "$sm" "$slo" "$shi" "$(ratio "$lm" "$sm")"
done

# ---- the record-access layer ---------------------------------------------------------------------
echo
echo "## Record access on a 1,000 x 100 bank (questionbank_bench; reference: mdb-export)"
echo
"$build/tests/benchmarks/questionbank_bench" 1000 100

echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
