#!/usr/bin/env bash
# The Wine prefixes the guest's tests start from, made once in guests and kept under build/vm:
# prefix-win64 (64-bit Windows, where 32-bit programs run from syswow64) and prefix-win32.
# In a guest they are seen through its writable layer, so a run changes nothing kept here.
# Made again when Wine's version changes.
set -uo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
VM="$BUILD/vm"
mkdir -p "$VM"
wine_version=$(dpkg-query -W -f='${Version} ' wine wine32 wine64 2>/dev/null)
pids=() arches=()
for arch in win64 win32; do
  [ "$(cat "$VM/prefix-$arch.stamp" 2>/dev/null)" = "$wine_version" ] && [ -d "$VM/prefix-$arch/drive_c" ] && continue
  say "Wine $arch prefix for the guest (made once, about two minutes)"
  rm -rf "$VM/prefix-$arch" "$VM/prefix-$arch.stamp"
  mkdir -p "$VM/new-$arch"
  loader=/usr/lib/wine/wine64; [ $arch = win32 ] && loader=/usr/lib/wine/wine
  # Made in guest memory, then carried out whole: one file through the share is quicker than many.
  "$ROOT/vm/guest.sh" --name "prefix-$arch" --limit 600 --share "$VM/new-$arch" -- bash -c "
    export WINEPREFIX=/root/prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES='mscoree=;mshtml='
    $loader wineboot -i >/dev/null 2>&1 && wineserver -w &&
      tar -cf '$VM/new-$arch/prefix.tar' -C /root prefix" >"$VM/prefix-$arch.log" 2>&1 &
  pids+=($!) arches+=($arch)
done
rc=0
for i in "${!pids[@]}"; do
  arch=${arches[$i]}
  if wait "${pids[$i]}" && tar -xf "$VM/new-$arch/prefix.tar" -C "$VM/new-$arch"; then
    mv "$VM/new-$arch/prefix" "$VM/prefix-$arch"
    echo "$wine_version" >"$VM/prefix-$arch.stamp"
  else
    echo "vm: the $arch prefix could not be made:" >&2
    cat "$VM/prefix-$arch.log" >&2
    rc=1
  fi
  rm -rf "$VM/new-$arch"
done
exit $rc
