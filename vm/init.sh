#!/bin/busybox sh
# PID 1 of the guest: mounts this machine's root read-only with a writable layer in memory,
# mounts the read-write shares at their own paths, runs the command the share holds in a chroot
# and writes its exit status back into the share; then powers off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
# busybox insmod resolves no dependencies: this order does.
for m in virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs fscache 9pnet \
         9pnet_virtio 9p overlay; do
  insmod "/lib/modules/$m.ko" || echo "guest: insmod $m failed"
done
opts=trans=virtio,version=9p2000.L,msize=262144
mkdir -p /lower /mem /newroot /run-share
tries=0
until mount -t 9p -o "$opts,ro,cache=loose" hostroot /lower 2>/dev/null; do
  tries=$((tries + 1))
  [ $tries -gt 50 ] && { echo "guest: the root share did not appear"; poweroff -f; }
  sleep 0.2
done
mount -t 9p -o "$opts" run /run-share || { echo "guest: the run share did not mount"; poweroff -f; }
. /run-share/guest.env  # RUN_DIR, SHARES (path list), GUEST_UID
mount -t tmpfs -o size=90% mem /mem
mkdir -p /mem/upper /mem/work
mount -t overlay overlay -o lowerdir=/lower,upperdir=/mem/upper,workdir=/mem/work /newroot ||
  { echo "guest: overlay failed"; poweroff -f; }
for d in proc sys dev; do mount --move /$d /newroot/$d; done
mkdir -p /newroot/dev/pts /newroot/dev/shm
mount -t devpts devpts /newroot/dev/pts
mount -t tmpfs tmpfs /newroot/dev/shm
mount -t tmpfs tmpfs /newroot/run
# devtmpfs has none of these; bash's process substitution needs them.
ln -sf /proc/self/fd /newroot/dev/fd
ln -sf /proc/self/fd/0 /newroot/dev/stdin
ln -sf /proc/self/fd/1 /newroot/dev/stdout
ln -sf /proc/self/fd/2 /newroot/dev/stderr
mkdir -p "/newroot$RUN_DIR"
mount --move /run-share "/newroot$RUN_DIR"
i=0
for path in $SHARES; do
  mkdir -p "/newroot$path"
  mount -t 9p -o "$opts" "share$i" "/newroot$path" || echo "guest: share $path did not mount"
  i=$((i + 1))
done
hostname guest32
chroot /newroot /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  /bin/bash "$RUN_DIR/command.sh" >"/newroot$RUN_DIR/output" 2>&1
echo $? >"/newroot$RUN_DIR/status"
sync
poweroff -f
