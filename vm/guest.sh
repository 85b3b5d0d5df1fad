#!/usr/bin/env bash
# Runs one command in a full-system emulated amd64 machine whose kernel runs 32-bit programs,
# over this machine's own root filesystem (read-only, with a writable layer in guest memory).
#
#   vm/guest.sh [--name NAME] [--limit SECONDS] [--mem SIZE] [--share DIR]... -- COMMAND [ARG]...
#
# The command runs as root in the current directory with a clean environment plus the variables
# named in GUEST_PASS (space-separated). Its output is shown as it comes; the exit status is the
# command's. Each --share DIR is mounted read-write at its own path (anything else written in the
# guest is lost at power-off). A guest that does not finish within the limit is killed: status
# 124; a guest that fails to boot or to report: status 125; both print the console's tail.
set -uo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
VM="$BUILD/vm"
name=guest limit=900 mem=4G shares=()
while [ $# -gt 0 ]; do
  case $1 in
    --name) name=$2; shift 2 ;;
    --limit) limit=$2; shift 2 ;;
    --mem) mem=$2; shift 2 ;;
    --share) shares+=("$(cd "$2" && pwd)") || exit 2; shift 2 ;;
    --) shift; break ;;
    *) echo "usage: vm/guest.sh [--name NAME] [--limit SECONDS] [--mem SIZE] [--share DIR]... -- COMMAND..." >&2
       exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "vm/guest.sh: no command" >&2; exit 2; }

"$ROOT/vm/prepare.sh" || exit 125
run="$VM/runs/$name"
rm -rf "$run"
mkdir -p "$run"
{
  printf 'RUN_DIR=%q\nSHARES=%q\n' "$run" "${shares[*]:-}"
} >"$run/guest.env"
{
  echo 'set -o pipefail'
  for var in ${GUEST_PASS:-}; do
    [ -n "${!var+x}" ] && printf 'export %s=%q\n' "$var" "${!var}"
  done
  printf 'cd %q || exit 125\n' "$PWD"
  printf '%q ' "$@"
  echo
} >"$run/command.sh"
: >"$run/output"

args=(-nodefaults -no-user-config -no-reboot -M pc -accel tcg,thread=multi -cpu max,-smap -smp 1 -m "$mem"
      -kernel "$VM/vmlinuz" -initrd "$VM/initrd.cpio"
      -append "console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init"
      -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap"
      -virtfs "local,path=$run,mount_tag=run,security_model=none,multidevs=remap")
i=0
for s in "${shares[@]}"; do
  args+=(-virtfs "local,path=$s,mount_tag=share$i,security_model=none,multidevs=remap")
  i=$((i + 1))
done
args+=(-display none -monitor none -serial "file:$run/console.log")

qemu_pid="" tail_pid=""
stop() {
  [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null && wait "$qemu_pid" 2>/dev/null
  [ -n "$tail_pid" ] && kill "$tail_pid" 2>/dev/null
  qemu_pid="" tail_pid=""
}
trap 'stop; exit 130' INT
trap 'stop; exit 143' TERM
trap stop EXIT

started=$(date +%s)
timeout -k 10 "$limit" qemu-system-x86_64 "${args[@]}" </dev/null >"$run/qemu.log" 2>&1 &
qemu_pid=$!
tail -n +1 -f --pid="$qemu_pid" "$run/output" &
tail_pid=$!
wait "$qemu_pid"
rc=$?
qemu_pid=""
wait "$tail_pid" 2>/dev/null
tail_pid=""
elapsed=$(($(date +%s) - started))

console_tail() {
  echo "---- last lines of the guest's console ($run/console.log) ----"
  tail -n 40 "$run/console.log" 2>/dev/null | tr -d '\r' | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g'
  [ -s "$run/qemu.log" ] && { echo "---- qemu ----"; tail -n 10 "$run/qemu.log"; }
  echo "----"
}
if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
  echo "vm/guest.sh: guest '$name' killed at its limit of $limit s" >&2
  console_tail >&2
  exit 124
fi
if [ ! -s "$run/status" ]; then
  echo "vm/guest.sh: guest '$name' stopped after $elapsed s without reporting a status (qemu exit $rc)" >&2
  console_tail >&2
  exit 125
fi
status=$(cat "$run/status")
say "guest '$name': command exited with $status after $elapsed s"
exit "$status"
