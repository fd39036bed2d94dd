#!/bin/sh
# A 32-bit Wine for the 32-bit Windows runs, as root.
#
#   wine32.sh setup        makes sure there is one; prints where it lives
#                          ("host", or the i386 system it runs in) and exits
#                          1 with the reason when none can be had
#   wine32.sh run CMD...   runs CMD (wine, wineserver, ...) from it
#
# The host's own wine32:i386 is used where the registry serves it. Where it
# does not (the i386 lists of a mirror in the middle of a sync cannot
# match the versions amd64 has), an i386 Debian system is built with
# debootstrap from the main suite alone, which is whole, and Wine is
# installed inside it. That system is kept in $NIMBORA_WINE32_CACHE between
# runs on the same machine. Programs in it run through chroot in a mount
# namespace of their own: the mounts they need (/proc, /dev, /tmp and the
# project) exist only in that namespace and vanish with its last process,
# whatever way the run ends.
set -eu
project=$(cd "$(dirname "$0")/.." && pwd)
cache=${NIMBORA_WINE32_CACHE:-/var/cache/nimbora/wine32}
system=$cache/system

# mirror: the address the host's own Debian lists come from.
mirror() {
  {
    sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null
    sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]\{1,\}\)\{0,1\}\([^[:space:]]*\).*/\2/p' \
      /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
  } | grep -v -e security -e '^$' | head -n 1
}

# runs_32bit: whether the kernel runs 32-bit x86 programs at all (some are
# built without that emulation); tried with a 93-byte program that exits 0.
runs_32bit() {
  probe=$(mktemp)
  printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' >"$probe"
  chmod +x "$probe"
  status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}

host_has_wine32() {
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "ok installed"
}

# build_system: debootstrap an i386 system and install Wine in it.
build_system() {
  address=$(mirror)
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  [ -n "$address" ] || { echo "wine32: no Debian mirror in the host's package lists" >&2; return 1; }
  sh "$project/scripts/setup.sh" debootstrap >&2
  rm -rf "$system"
  mkdir -p "$cache"
  echo "wine32: building an i386 $suite system in $system (once per machine)" >&2
  log=$cache/build.log
  if ! debootstrap --arch=i386 --variant=minbase "$suite" "$system" "$address" >"$log" 2>&1 ||
    ! (inside sh -c "echo 'deb $address $suite main' >/etc/apt/sources.list &&
      apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends wine wine32 >/dev/null") >>"$log" 2>&1; then
    echo "wine32: could not build the i386 system; the end of $log:" >&2
    tail -n 10 "$log" | sed 's/^/  /' >&2
    return 1
  fi
  touch "$system/.ready"
}

# inside CMD...: replaces the shell with CMD in the i386 system, in a mount
# namespace of its own (so a process id taken of the shell is CMD's), in
# the caller's directory (Wine takes the current drive from it), which is
# under /tmp or the project, the paths shared with the host.
inside() {
  directory=$(pwd)
  cp /etc/resolv.conf "$system/etc/resolv.conf" 2>/dev/null || true
  mkdir -p "$system/proc" "$system/dev" "$system/tmp" "$system$project"
  # shellcheck disable=SC2016 # expanded by the inner shell
  exec unshare --mount --propagation private sh -c '
    system=$1 project=$2 directory=$3
    shift 3
    mount -t proc proc "$system/proc" &&
      mount --rbind /dev "$system/dev" &&
      mount --bind /tmp "$system/tmp" &&
      mount --bind "$project" "$system$project" &&
      exec chroot "$system" /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$directory" "$@"
  ' inside "$system" "$project" "$directory" "$@"
}

case ${1:-} in
  setup)
    if ! runs_32bit; then
      echo "wine32: this machine's kernel does not run 32-bit x86 programs (no IA32 emulation), so no 32-bit Wine can run here" >&2
      exit 1
    fi
    if host_has_wine32; then echo host; exit 0; fi
    if [ ! -e "$system/.ready" ]; then
      sh "$project/scripts/setup.sh" --optional wine32:i386 >&2
      if host_has_wine32; then echo host; exit 0; fi
      build_system || exit 1
    fi
    echo "$system"
    ;;
  run)
    shift
    if host_has_wine32; then exec "$@"; fi
    inside /usr/bin/env PATH=/usr/lib/wine:/usr/bin:/bin "$@"
    ;;
  *)
    echo "usage: wine32.sh setup | run COMMAND..." >&2
    exit 2
    ;;
esac
