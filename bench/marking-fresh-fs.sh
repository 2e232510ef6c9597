#!/usr/bin/env bash
# Times one toggle of every file of a 20,000- and a 100,000-file web (and the toggle back) on a fresh
# ext4 file system in an image of its own, mounted in a private mount namespace: on a file system that
# just saw hundreds of thousands of files deleted, ext4 takes far longer to find free inodes, whatever
# program creates files. Needs root (or user namespaces) and a loop device.
#   bench/marking-fresh-fs.sh     Environment: BUILD (default build/linux-release)
set -euo pipefail
cd "$(dirname "$0")/.."
varnook=$(realpath "${BUILD:-build/linux-release}/varnook")
image=$(mktemp /tmp/varnook-fs-XXXXXX.img)
trap 'rm -f "$image"' EXIT
truncate -s 4G "$image"
mkfs.ext4 -q -F -N 800000 "$image"
# shellcheck disable=SC2016 # expanded by the inner shell
unshare --mount bash -c '
    set -euo pipefail
    varnook=$1 image=$2
    mnt=$(mktemp -d /tmp/varnook-fs-XXXXXX)
    mount -o loop "$image" "$mnt"
    trap "umount $mnt; rmdir $mnt" EXIT
    source <(sed -n "/^meta=/,/^}/p" bench/disk.sh) # the webs of bench/disk.sh
    make_web "$mnt/web20000" 1000 20
    make_web "$mnt/web100000" 5000 20
    sync
    for web in web20000 web100000; do
        /usr/bin/time -f "$web: toggle site %e s (%U s user, %S s system)" "$varnook" toggle "$mnt/$web" site >/dev/null
        /usr/bin/time -f "$web: toggle back %e s (%U s user, %S s system)" "$varnook" toggle "$mnt/$web" site >/dev/null
    done
' marking "$varnook" "$image"
