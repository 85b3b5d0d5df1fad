# Shared by the scripts: where things are, how to build, how to reach Wine.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${ADDIN_BUILD:-$ROOT/build}
JOBS=${ADDIN_JOBS:-2}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree=;mshtml="

say() { printf '== %s\n' "$*" >&2; }

configure_and_build() {  # name, extra cmake arguments...
  local name=$1; shift
  cmake -S "$ROOT" -B "$BUILD/$name" -G Ninja "$@" >/dev/null
  ninja -C "$BUILD/$name" -j "$JOBS" >/dev/null || ninja -C "$BUILD/$name" -j 1
}

# Per architecture: the product DLL (build/ARCH, win32 thread model) and the Windows test
# programs (build/ARCH-tests, posix thread model, for GoogleTest), which drive the product DLL.
build_windows() {
  local arch
  for arch in i686 x86_64; do
    configure_and_build "$arch" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
      -DADDIN_TESTS=OFF
    configure_and_build "$arch-tests" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
      -DADDIN_MINGW_THREADS=posix
  done
}

# 32-bit programs need the kernel's 32-bit support; some virtual machines switch it off.
can_run_32() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
# Whether the 32-bit DLL runs here directly; ADDIN_32_IN_VM=1 asks for the emulator even so.
native_32() { can_run_32 && [ "${ADDIN_32_IN_VM:-0}" != 1 ]; }
# Runs a command in an emulated guest whose WINEPREFIX is the guest's win64 prefix (vm/prefix.sh
# makes it). Usage: guest32 NAME LIMIT [--share DIR]... -- COMMAND...; GUEST_PASS adds variables.
guest32() {
  local name=$1 limit=$2
  shift 2
  GUEST_PASS="ADDIN_BUILD WINEPREFIX WINEDEBUG WINEDLLOVERRIDES ${GUEST_PASS:-}" ADDIN_BUILD="$BUILD" \
    WINEPREFIX="$BUILD/vm/prefix-win64" "$ROOT/vm/guest.sh" --name "$name" --limit "$limit" "$@"
}
why_vm() {  # why 32-bit programs run in the emulator here
  if [ "${ADDIN_32_IN_VM:-0}" = 1 ]; then echo "ADDIN_32_IN_VM=1 asks for it"
  else echo "this kernel runs no 32-bit programs"; fi
}

wine_for() {  # bitness -> the loader that runs it
  if [ "$1" = 32 ]; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

# A throwaway 64-bit prefix with a wineserver that stays up while the tests run.
new_prefix() {
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/addin-wine.XXXXXX)
  WINEARCH=win64 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
  wineserver -p 2>/dev/null || true
}

drop_prefix() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# One check of a test script: prints ok or FAIL and counts it in `passed` or `failed`.
passed=0 failed=0
check() {  # description, command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; passed=$((passed + 1)); else echo "FAIL $what"; failed=$((failed + 1)); fi
}
