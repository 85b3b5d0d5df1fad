#!/usr/bin/env bash
# Makes the guest's kernel and initramfs under build/vm from Debian's packages: the kernel package
# apt offers is downloaded and unpacked, never installed; the initramfs is static busybox with the
# init script and the modules it loads. Both are kept and made again when their inputs change.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
VM="$BUILD/vm"
mkdir -p "$VM"
modules=(drivers/virtio/virtio_ring drivers/virtio/virtio drivers/virtio/virtio_pci_modern_dev
         drivers/virtio/virtio_pci_legacy_dev drivers/virtio/virtio_pci fs/netfs/netfs fs/fscache/fscache
         net/9p/9pnet net/9p/9pnet_virtio fs/9p/9p fs/overlayfs/overlay)

# The kernel package that the metapackage depends on today; the one we have when apt cannot say.
offered() { apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -1; }
package=$(offered)
if [ -z "$package" ] && [ ! -s "$VM/kernel.package" ]; then
  # A machine whose package lists were never fetched: fetch them once.
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq >/dev/null 2>&1 || true
  package=$(offered)
fi
[ -n "$package" ] || package=$(cat "$VM/kernel.package" 2>/dev/null || true)
[ -n "$package" ] || { echo "vm: apt offers no linux-image-amd64 kernel" >&2; exit 1; }
version=${package#linux-image-}

if [ "$(cat "$VM/kernel.package" 2>/dev/null)" != "$package" ] || [ ! -s "$VM/vmlinuz" ]; then
  say "guest kernel: downloading $package (unpacked under build/vm, not installed)"
  rm -rf "$VM/kernel" && mkdir -p "$VM/kernel"
  (cd "$VM/kernel" && apt-get download -qq "$package" 2>/dev/null) ||
    { echo "vm: apt-get download $package failed" >&2; exit 1; }
  deb=$(ls "$VM/kernel"/*.deb)
  dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$VM/kernel" "./boot/vmlinuz-$version" \
    $(printf "./lib/modules/$version/kernel/%s.ko " "${modules[@]}")
  rm -f "$deb"
  cp "$VM/kernel/boot/vmlinuz-$version" "$VM/vmlinuz"
  echo "$package" >"$VM/kernel.package"
fi

busybox=/bin/busybox
inputs=$( { cat "$ROOT/vm/init.sh"; sha256sum "$busybox"; echo "$package"; } | sha256sum | cut -c1-16)
if [ "$(cat "$VM/initrd.stamp" 2>/dev/null)" != "$inputs" ] || [ ! -s "$VM/initrd.cpio" ]; then
  say "guest initramfs"
  tree="$VM/initrd"
  rm -rf "$tree" && mkdir -p "$tree"/{bin,dev,proc,sys,lib/modules}
  cp "$busybox" "$tree/bin/busybox"
  cp "$ROOT/vm/init.sh" "$tree/init"
  chmod 755 "$tree/init" "$tree/bin/busybox"
  for m in "${modules[@]}"; do cp "$VM/kernel/lib/modules/$version/kernel/$m.ko" "$tree/lib/modules/"; done
  (cd "$tree" && find . | sort | "$busybox" cpio -o -H newc >"$VM/initrd.cpio" 2>/dev/null)
  echo "$inputs" >"$VM/initrd.stamp"
fi
