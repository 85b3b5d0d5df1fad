#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, when missing.
# Idempotent and quiet: a machine that has everything costs one dpkg query.
set -euo pipefail

native=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev clang
        libclang-rt-14-dev lcov python3 chromium cmark-gfm)
windows=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools faketime wine wine64 wine32 xvfb xauth zip unzip
         locales tmux)
# The full-system emulator that runs 32-bit programs where the kernel refuses them.
emulator=(qemu-system-x86 busybox-static)

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
# Wine takes a Russian system's code pages from LC_ALL=ru_RU.UTF-8, and reads command lines as
# UTF-8 only when that locale exists.
russian_locale() {
  locale -a 2>/dev/null | grep -qix 'ru_RU.utf8' || $SUDO localedef -i ru_RU -c -f UTF-8 ru_RU.UTF-8
}

missing=()
for p in "${native[@]}" "${windows[@]}" "${emulator[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && { russian_locale; exit 0; }

echo "setup: installing ${missing[*]}" >&2
if [[ " ${missing[*]} " == *" wine32 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror in the middle of a sync fails some index files; the install can still succeed
# with the others, so a failed update is retried, not fatal.
for attempt in 1 2 3; do
  $SUDO apt-get update -qq >/dev/null 2>&1 || true
  if $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then russian_locale; exit 0; fi
  # When the i386 index of the security archive is out of step with the amd64 one, the
  # multi-arch libraries wine32 pulls in cannot match versions; the release's own versions do.
  if $SUDO apt-get install -y -qq --no-install-recommends -t bookworm "${missing[@]}" >/dev/null; then
    russian_locale; exit 0
  fi
  sleep $((attempt * 5))
done
echo "setup: could not install ${missing[*]}" >&2
exit 1
