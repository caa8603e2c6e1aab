#!/usr/bin/env bash
# Tries the README's two commands as a new user would on a fresh Debian 12
# machine: builds a minimal Debian 12 (bookworm) root with debootstrap, copies
# this working tree into it (tracked files and uncommitted changes, no build
# folders) and runs inside it, as root with a clean environment,
#   bash scripts/verify-sample.sh     then     bash scripts/test.sh
# with /proc, /dev (with /dev/pts, and a /dev/shm of its own) and /tmp
# mounted. Prints each command's exit status and duration and exits non-zero
# when either failed.
#
# Slow: everything is installed and built from nothing (about 45 minutes on a
# busy 2-core machine, 6 of them for verify-sample.sh; the first run also
# bootstraps the base, a few minutes more). Not for every CI run: run it before
# resolving a change to scripts/, cmake/, CMakePresets.json or the package list.
#
#   scripts/fresh-machine-check.sh           both commands
#   scripts/fresh-machine-check.sh --quick   only verify-sample.sh (also: ORVEL_FRESH_QUICK=1)
#   scripts/fresh-machine-check.sh --keep    leave the root in place afterwards, to look inside
#
# The root is debootstrap's minbase variant: the essential packages and apt,
# less than a default install, so that nothing the scripts fail to install is
# found there by chance.
#
# Needs root (debootstrap, mount, chroot). Debootstrap fetches from the Debian
# mirror that this machine's apt sources name, and the root gets the same
# sources. The bootstrapped base is kept as a tarball in
# ~/.cache/orvel-fresh-machine and reused; every run unpacks a fresh copy of it.
# The logs of both commands go to ~/.cache/orvel-fresh-machine/logs/<time>/.
#
# test.sh runs in a network namespace of its own: on a machine of its own its
# tests' Unix sockets (abstract names, such as the runtime's fixed property
# pipe) meet nobody else's, whereas here they would meet the host's tests.
# It needs no network: verify-sample.sh has installed the packages by then.

# The whole script is one group, read before it starts: the check may then run
# for an hour while this file is edited.
{
set -euo pipefail
cd "$(dirname "$0")/.."
source_tree=$(pwd)

quick="${ORVEL_FRESH_QUICK:-}"
keep=""
for argument in "$@"; do
  case "$argument" in
    --quick) quick=1 ;;
    --keep) keep=1 ;;
    *) echo "usage: scripts/fresh-machine-check.sh [--quick] [--keep]" >&2; exit 2 ;;
  esac
done

if [ "$(id -u)" -ne 0 ]; then
  echo "scripts/fresh-machine-check.sh needs root (debootstrap, mount, chroot)." >&2
  exit 1
fi
. scripts/packages.sh
orvel_ensure_packages debootstrap git

suite=bookworm
project=/root/OrvelPluginVerifier  # where a new user's clone would be
state="${XDG_CACHE_HOME:-$HOME/.cache}/orvel-fresh-machine"
base="$state/$suite-minbase.tar"
logs="$state/logs/$(date +%Y%m%d-%H%M%S)"
mkdir -p "$state" "$logs"

# The apt source files of this machine, in the order apt reads them.
apt_source_files() {
  local file
  [ -f /etc/apt/sources.list ] && echo /etc/apt/sources.list
  for file in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && echo "$file"
  done | sort
}

# Prints "suite uri" for every enabled binary source, one-line and deb822 alike.
apt_binary_sources() {
  local file
  while read -r file; do
    case "$file" in
      *.sources)
        awk '
          function flush(   n, i, s, u) {
            if (types ~ /(^|[ \t])deb([ \t]|$)/ && tolower(enabled) != "no") {
              n = split(suites, s, /[ \t]+/); split(uris, u, /[ \t]+/)
              for (i = 1; i <= n; i++) if (s[i] != "") print s[i], u[1]
            }
            types = ""; uris = ""; suites = ""; enabled = ""
          }
          /^[ \t]*$/ { flush(); next }
          /^#/ { next }
          {
            name = tolower($0); sub(/:.*/, "", name)
            value = $0; sub(/^[^:]*:[ \t]*/, "", value); sub(/[ \t]+$/, "", value)
            if (name == "types") types = value
            else if (name == "uris") uris = value
            else if (name == "suites") suites = value
            else if (name == "enabled") enabled = value
          }
          END { flush() }' "$file" ;;
      *)
        # deb [option=value ...] uri suite component...
        awk '$1 == "deb" {
          i = 2
          if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
          if (i + 1 <= NF) print $(i + 1), $i
        }' "$file" ;;
    esac
  done < <(apt_source_files)
}

# The mirror this machine's apt sources name for the suite, else for any main
# archive suite (one without "-", as opposed to -updates or -security).
debian_mirror() {
  apt_binary_sources | awk -v suite="$suite" '
    $1 == suite && !exact { exact = $2 }
    $1 !~ /[-\/]/ && !any { any = $2 }
    END { if (exact) print exact; else if (any) print any }'
}

if [ ! -f "$base" ]; then
  mirror=$(debian_mirror)
  if [ -z "$mirror" ]; then
    echo "No Debian mirror found in this machine's apt sources (/etc/apt/sources.list, /etc/apt/sources.list.d/)." >&2
    exit 1
  fi
  echo "Bootstrapping a minimal Debian $suite root from $mirror (once; kept in $base)"
  bootstrap=$(mktemp -d "$state/bootstrap.XXXXXX")
  if ! debootstrap --variant=minbase "$suite" "$bootstrap" "$mirror" >"$logs/debootstrap.log" 2>&1; then
    echo "debootstrap failed; its log: $logs/debootstrap.log" >&2
    tail -n 20 "$logs/debootstrap.log" >&2
    rm -rf --one-file-system "$bootstrap"
    exit 1
  fi
  tar -C "$bootstrap" --numeric-owner -cf "$base.partial" .
  mv "$base.partial" "$base"
  rm -rf --one-file-system "$bootstrap"
fi

root=$(mktemp -d "$state/root.XXXXXX")
root=$(readlink -f "$root")
mounted=()

# Ends what still runs inside the root (only processes whose root it is, all
# started by this script), unmounts in reverse order, removes the root.
cleanup() {
  set +e
  local signal pid round index
  for signal in TERM KILL; do
    for round in 1 2 3 4 5; do
      local found=""
      for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        if [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ]; then
          kill "-$signal" "$pid" 2>/dev/null
          found=1
        fi
      done
      [ -z "$found" ] && break 2
      sleep 1
    done
  done
  for ((index = ${#mounted[@]} - 1; index >= 0; index--)); do
    umount "${mounted[index]}" 2>/dev/null || umount -l "${mounted[index]}"
  done
  if grep -q " $root/" /proc/self/mounts; then
    echo "Something is still mounted inside $root: it is left in place." >&2
  elif [ -n "$keep" ]; then
    echo "The root is kept in $root (remove it with: rm -rf --one-file-system $root)"
  else
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "Unpacking a fresh copy of the base root into $root"
tar -C "$root" --numeric-owner -xpf "$base"
chmod 755 "$root"  # as / is; apt's unprivileged downloader must reach /var/cache/apt

# The same apt sources as this machine, with the keyrings they name; and its
# resolver, for apt.
rm -f "$root/etc/apt/sources.list"
while read -r file; do
  cp "$file" "$root$file"
  { grep -ohiE 'signed-by[:=][[:space:]]*/[^] ,[:space:]]+' "$file" || true; } |
    sed -E 's/^[^:=]*[:=][[:space:]]*//' | while read -r keyring; do
      if [ -f "$keyring" ] && [ ! -e "$root$keyring" ]; then
        mkdir -p "$root$(dirname "$keyring")"
        cp "$keyring" "$root$keyring"
      fi
    done
done < <(apt_source_files)
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

echo "Copying the working tree (tracked files and uncommitted changes) to $project"
mkdir -p "$root$project"
git -C "$source_tree" ls-files -z -co --exclude-standard |
  while IFS= read -r -d '' file; do
    # A tracked file deleted in the working tree is not copied.
    if [ -e "$source_tree/$file" ] || [ -L "$source_tree/$file" ]; then printf '%s\0' "$file"; fi
  done |
  tar -C "$source_tree" --null -T - --owner=0 --group=0 -cf - | tar -C "$root$project" -xpf -

# Each mount is recorded once made, so that the exit unmounts it whatever fails.
mount -t proc proc "$root/proc"
mounted+=("$root/proc")
mount --bind /dev "$root/dev"
mounted+=("$root/dev")
mount --make-private "$root/dev"  # mounts below it stay out of the host's /dev
mount --bind /dev/pts "$root/dev/pts"  # apt's terminal log wants a pseudo-terminal
mounted+=("$root/dev/pts")
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
mounted+=("$root/dev/shm")
mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
mounted+=("$root/tmp")

# Runs one README command inside the root as a new user would: root, a clean
# environment, from the top of the clone. "$1" is a prefix such as unshare.
results=()
failed=0
run_inside() {
  local prefix=$1 script=$2 log="$logs/$2.log" start status seconds
  echo "Running bash scripts/$script inside the root (log: $log)"
  start=$(date +%s)
  status=0
  # shellcheck disable=SC2086
  $prefix chroot "$root" /usr/bin/env -i \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    TERM="${TERM:-dumb}" LANG=C.UTF-8 \
    /bin/bash -c "cd $project && bash scripts/$script" </dev/null >"$log" 2>&1 &
  # Waiting in `wait` lets a signal to this script run its exit at once.
  wait $! || status=$?
  seconds=$(($(date +%s) - start))
  results+=("$(printf '%-18s exit status %3d, %3d min %2d s' "$script:" "$status" $((seconds / 60)) $((seconds % 60)))")
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "bash scripts/$script failed with exit status $status; the end of its log:"
    tail -n 40 "$log"
  fi
}

run_inside "" verify-sample.sh
if [ -z "$quick" ]; then
  run_inside "unshare --net" test.sh
fi

echo "=== the README's commands on a fresh Debian $suite root (logs in $logs)"
printf '%s\n' "${results[@]}"
exit $failed
}
