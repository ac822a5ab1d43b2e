#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Runs the README's two quick-start commands on a fresh Debian 12, exactly as written, from a
# clone of this repository's HEAD: a minimal system (debootstrap --variant=minbase bookworm, from
# this machine's own apt source) with only git and sudo added, and an ordinary user "pilot" who
# may use sudo. Four passes, each in a new copy of that system:
#
#   1. as root:  scripts/run.sh --version   (--version: the window program exits after building)
#   2. as root:  scripts/test.sh
#   3. as pilot: scripts/run.sh --version
#   4. as pilot: scripts/test.sh             (only when the time left allows; see --deadline)
#
# It prints each command's exit status and time and, on failure, the end of its log, and exits
# non-zero when any pass failed or a file of pilot's clone is not owned by pilot.
#
#   sudo scripts/fresh-system-check.sh [--deadline EPOCH_SECONDS] [--only run]
#
#   --deadline T  skip pass 4 when it would not end by T (pass 2's own time is the estimate)
#   --only run    passes 1 and 3 only
#
# Needs root: it builds the system with debootstrap, mounts /proc, /sys and /dev into it (and
# unmounts them afterwards, also on failure) and runs the commands there with chroot.
# The minimal system is kept as a tarball in $MELTOR_FRESH_CACHE (default
# /var/cache/meltor-fresh) and made again when it is older than a week or does not unpack; the
# downloaded packages are kept there too, so later runs fetch only what changed, and so are the
# logs of the last run (logs/).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
cache=${MELTOR_FRESH_CACHE:-/var/cache/meltor-fresh}
tarball=$cache/bookworm-minbase.tar.gz
archives=$cache/archives
deadline=""
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --deadline) deadline=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) echo "usage: $0 [--deadline EPOCH_SECONDS] [--only run]" >&2; exit 2 ;;
  esac
done

if [ "$(id -u)" -ne 0 ]; then
  echo "fresh-system-check.sh: needs root: it makes a minimal Debian 12 with debootstrap, mounts" >&2
  echo "/proc, /sys and /dev into it and runs the README's commands there with chroot." >&2
  echo "Run it as: sudo $0" >&2
  exit 2
fi
for tool in debootstrap chroot mount umount tar git; do
  command -v "$tool" >/dev/null || {
    echo "fresh-system-check.sh: $tool is missing (scripts/install-deps.sh test installs it)" >&2
    exit 2
  }
done

# This machine's Debian mirror: from deb822 sources or the one-line format.
mirror=$(grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' |
  grep -v security | head -n1 || true)
[ -n "$mirror" ] || mirror=$(grep -hs '^deb ' /etc/apt/sources.list | awk '{print $2}' |
  grep -v security | head -n1 || true)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

# The logs of the last run are kept.
logs=$cache/logs
mkdir -p "$cache" "$archives"
rm -rf "$logs"
mkdir -p "$logs"
work=$(mktemp -d /var/tmp/meltor-fresh.XXXXXX)
root=""

# Everything mounted under a root, deepest first.
mounts_under() { awk -v r="$1" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r; }

unmount_system() { # DIR
  # Processes left in the system (a build server, a test's child) keep its mounts busy.
  local p m
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/root" 2>/dev/null)" = "$1" ]; then kill -9 "${p#/proc/}" 2>/dev/null || true; fi
  done
  for m in $(mounts_under "$1"); do
    umount "$m" 2>/dev/null || umount -l "$m" || true
  done
  [ -z "$(mounts_under "$1")" ] && return 0
  echo "fresh-system-check.sh: still mounted under $1:" >&2
  mounts_under "$1" >&2
  return 1
}

release_root() {
  [ -n "$root" ] && [ -d "$root" ] || return 0
  # Never delete through a mount that is still there: /dev is the machine's own.
  unmount_system "$root" || return 1
  rm -rf "$root"
  root=""
}
cleanup() {
  release_root || true
  [ -n "$(mounts_under "$work")" ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The minimal system: debootstrap, this machine's apt sources (bookworm, its updates and its
# security archive, as an installed system has them), git and sudo, and the user pilot.
make_tarball() {
  local base=$work/base
  echo "== making a minimal Debian 12 (debootstrap --variant=minbase bookworm $mirror)"
  rm -rf "$base"
  debootstrap --variant=minbase --cache-dir="$archives" bookworm "$base" "$mirror" \
    >"$work/debootstrap.log" 2>&1 || { tail -n 30 "$work/debootstrap.log" >&2; return 1; }
  if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
    rm -f "$base/etc/apt/sources.list"
    cp /etc/apt/sources.list.d/*.sources "$base/etc/apt/sources.list.d/"
  fi
  [ -s /etc/apt/sources.list ] && cp /etc/apt/sources.list "$base/etc/apt/sources.list"
  cp /etc/resolv.conf "$base/etc/resolv.conf"
  mount_system "$base"
  chroot "$base" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    sh -c 'apt-get update -qq && apt-get install -y -qq --no-install-recommends git sudo &&
           useradd -m -s /bin/bash pilot &&
           echo "pilot ALL=(ALL) NOPASSWD: ALL" >/etc/sudoers.d/pilot &&
           chmod 440 /etc/sudoers.d/pilot' \
    >"$work/prepare.log" 2>&1 || { tail -n 30 "$work/prepare.log" >&2; root=$base; return 1; }
  unmount_system "$base"
  # A fresh system has downloaded nothing: the packages go to the cache, not into the tarball.
  tar -C "$work" -czf "$tarball.new" base && mv "$tarball.new" "$tarball"
  rm -rf "$base"
}

mount_system() {
  mount -t proc proc "$1/proc"
  mount -t sysfs sysfs "$1/sys"
  # A /dev of its own, as a booted system has it: the usual nodes, its own pseudo-terminals and a
  # /dev/shm everyone may write (Python's multiprocessing needs it, as an ordinary user too).
  # Binding the machine's /dev instead would share its mounts, and unmounting them could take
  # them from the machine.
  mount -t tmpfs -o mode=755,size=16m meltor-dev "$1/dev"
  local node
  for node in null:1:3 zero:1:5 full:1:7 random:1:8 urandom:1:9 tty:5:0; do
    IFS=: read -r name major minor <<<"$node"
    mknod -m 666 "$1/dev/$name" c "$major" "$minor"
  done
  mkdir "$1/dev/pts" "$1/dev/shm"
  mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$1/dev/pts"
  ln -s pts/ptmx "$1/dev/ptmx"
  mount -t tmpfs -o mode=1777 meltor-shm "$1/dev/shm"
  ln -s /proc/self/fd "$1/dev/fd"
  ln -s fd/0 "$1/dev/stdin"
  ln -s fd/1 "$1/dev/stdout"
  ln -s fd/2 "$1/dev/stderr"
  # Packages the system downloads are kept for the next run.
  mount --bind "$archives" "$1/var/cache/apt/archives"
}

# A new copy of the minimal system at $root, mounted, with HEAD's history under /srv, owned by
# the user who will clone it (git refuses a repository owned by someone else).
fresh_root() { # USER
  root=$work/root
  mkdir -p "$root"
  # In memory where there is room for it: a build's thousands of files are written and removed
  # in an instant instead of minutes.
  if [ "$(awk '/^MemAvailable:/ { print int($2 / 1048576) }' /proc/meminfo)" -ge 16 ]; then
    mount -t tmpfs -o size=12g,mode=755 meltor-fresh "$root"
  fi
  tar -C "$root" --strip-components=1 -xzf "$tarball"
  mount_system "$root"
  git clone -q --bare "$repo" "$root/srv/meltor.git"
  git -C "$root/srv/meltor.git" update-ref HEAD "$(git -C "$repo" rev-parse HEAD)"
  chroot "$root" chown -R "$1:" /srv/meltor.git
}

# Runs a command as root or as pilot, in that user's clone, with a login environment.
failures=0
declare -A took
run_pass() { # name user command
  local name=$1 user=$2 cmd=$3 log=$work/$1.log status start end
  local home=/root
  [ "$user" = root ] || home=/home/$user
  echo "== $name: $cmd (as $user)"
  start=$(date +%s)
  set +e
  chroot "$root" /usr/sbin/runuser -l "$user" -c \
    "set -e; [ -d meltor ] || git clone -q /srv/meltor.git meltor; cd meltor; $cmd" \
    >"$log" 2>&1 </dev/null
  status=$?
  set -e
  end=$(date +%s)
  took[$name]=$((end - start))
  printf '%s: exit %d, %d s\n' "$name" "$status" "${took[$name]}"
  cp "$log" "$logs/"
  if [ "$status" -ne 0 ]; then
    failures=$((failures + 1))
    # The first failure reported (a failed test prints its output after its line), then the end.
    local first
    first=$(grep -n -m1 -E '\*\*\*Failed|\*\*\*Exception|\*\*\*Timeout|CMake Error| error:|^E: |FAILED:' "$log" |
      cut -d: -f1 || true)
    if [ -n "$first" ]; then
      echo "--- the first failure in its log:"
      sed -n "${first},$((first + 40))p" "$log"
    fi
    echo "--- the end of its log ($logs/$name.log):"
    tail -n 40 "$log"
    echo "---"
  elif [ "$user" != root ]; then
    local others
    others=$(chroot "$root" find "$home/meltor" ! -user "$user" | head -n 5)
    if [ -n "$others" ]; then
      failures=$((failures + 1))
      echo "$name: files in the clone not owned by $user:"
      echo "$others"
    fi
  fi
  return 0
}

if [ ! -s "$tarball" ] || [ -n "$(find "$tarball" -mtime +7)" ] ||
  ! tar -tzf "$tarball" >/dev/null 2>&1; then
  make_tarball
else
  echo "== reusing the minimal Debian 12 in $tarball ($(date -r "$tarball" +%F))"
fi

fresh_root root
run_pass root-run root 'scripts/run.sh --version'
[ "$only" = run ] || run_pass root-test root 'scripts/test.sh'
release_root

fresh_root pilot
run_pass user-run pilot 'scripts/run.sh --version'
if [ "$only" != run ]; then
  estimate=${took[root-test]:-0}
  if [ -n "$deadline" ] && [ $(($(date +%s) + estimate)) -gt "$deadline" ]; then
    echo "== user-test: skipped, the time left would not cover it (as root it took $estimate s)"
  else
    run_pass user-test pilot 'scripts/test.sh'
  fi
fi
release_root

if [ "$failures" -ne 0 ]; then
  echo "fresh-system-check.sh: $failures pass(es) failed"
  exit 1
fi
echo "fresh-system-check.sh: every pass succeeded"
