#!/usr/bin/env bash
# Runs a command inside a sandbox that looks like a Mac: a generated tree bound at /Applications,
# /System, /Library, /Users, /Volumes, /private (with /tmp, /var and /etc/sudoers.d leading into
# it) and /opt, the host's /usr and /etc read-only, loopback as the only network, and the user
# "<name>" (uid 501) at home in /Users/<name>.
#
# The sandbox has two identities of its own, in a user namespace: its root is the user who starts
# it, and its user 501 is a subordinate uid of that user (/etc/subuid, set with newuidmap), so
# what root writes there is root's and not the user's, as on a Mac. Nothing run inside can change
# a host file outside the tree: the host's folders are mounted read-only. Root steps go through
# src/standins/sandbox (pkexec and sudo ask the sandbox's root).
#
#   mac-sandbox.sh --generator <tessarin-demo-tree> [--tree DIR] [--user NAME] [--keep]
#                  [--else-run-outside] [--ro PATH]... -- <command> [arguments...]
#
# The tree is made afresh on each start unless --keep. When the sandbox cannot be made (no user
# namespaces, no subordinate uids, say) it says why and stops; with --else-run-outside (for tests)
# it runs the command outside instead with TESSARIN_SANDBOX_UNAVAILABLE set to the reason, so
# that the test can say why it skips instead of passing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

generator='' tree="${XDG_CACHE_HOME:-$HOME/.cache}/tessarin/demo-mac" user=demo keep=() outside=no
readonly_paths=()
while [ $# -gt 0 ]; do
  case $1 in
    --generator) generator=$2; shift 2 ;;
    --tree) tree=$2; shift 2 ;;
    --user) user=$2; shift 2 ;;
    --keep) keep=(--keep); shift ;;
    --else-run-outside) outside=yes; shift ;;
    --ro) readonly_paths+=("$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "mac-sandbox.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] && [ -n "$generator" ] || { echo "usage: mac-sandbox.sh --generator TOOL [--tree DIR] [--user NAME] [--keep] -- COMMAND..." >&2; exit 2; }

unavailable() {
  echo "mac-sandbox.sh: the sandbox cannot start ($1)" >&2
  [ $outside = yes ] || exit 3
  TESSARIN_SANDBOX_UNAVAILABLE=$1 exec "${command[@]}"
}
command=("$@")
command -v bwrap >/dev/null || unavailable "bubblewrap is not installed"

# Who the sandbox's user 501 and group 20 are outside.
if [ "$(id -u)" -eq 0 ]; then
  # Root may map any uid: one that no account uses.
  inner_uid=200501 inner_gid=200020
  map_ids() {
    # One write per map, as the kernel requires.
    /usr/bin/printf '0 0 1\n501 %s 1\n' "$inner_uid" >"/proc/$1/uid_map" &&
      /usr/bin/printf '0 0 1\n20 %s 1\n' "$inner_gid" >"/proc/$1/gid_map"
  }
else
  subordinate() { awk -F: -v name="$(id -un)" -v uid="$(id -u)" '($1 == name || $1 == uid) && $3 > 0 { print $2; exit }' "$1" 2>/dev/null; }
  inner_uid=$(subordinate /etc/subuid) inner_gid=$(subordinate /etc/subgid)
  [ -n "$inner_uid" ] && [ -n "$inner_gid" ] ||
    unavailable "$(id -un) has no subordinate uids or gids in /etc/subuid and /etc/subgid (sudo usermod --add-subuids 100000-165535 --add-subgids 100000-165535 $(id -un))"
  command -v newuidmap >/dev/null && command -v newgidmap >/dev/null || unavailable "newuidmap and newgidmap are not installed (package uidmap)"
  map_ids() { newuidmap "$1" 0 "$(id -u)" 1 501 "$inner_uid" 1 && newgidmap "$1" 0 "$(id -g)" 1 20 "$inner_gid" 1; }
fi

# A process that holds the namespace while everything else enters it.
unshare --user sleep infinity &
holder=$!
trap 'kill "$holder" 2>/dev/null' EXIT
for _ in $(seq 200); do
  [ "$(readlink "/proc/$holder/ns/user" 2>/dev/null)" != "$(readlink /proc/self/ns/user)" ] && break
  sleep 0.01
done
problem=$(map_ids "$holder" 2>&1) || unavailable "cannot map the sandbox's users: ${problem:-unknown error}"
as_root() { nsenter --user --target "$holder" --setuid 0 --setgid 0 -- "$@"; }
probe=$(as_root bwrap --ro-bind / / --unshare-net true 2>&1) ||
  unavailable "bubblewrap cannot make the sandbox: ${probe:-unknown error}"

mkdir -p "$(dirname "$tree")"
tmpdir=$(as_root "$generator" "${keep[@]}" "$tree" "$user")
tree=$(cd "$tree" && pwd)
home=/Users/$user
# Everything is this user's while the sandbox is set up (a run that was killed may have left it
# otherwise); the owners inside are set at the end.
as_root chown -R 0:0 "$tree"

# Who is who inside: root, and the user with a Mac's first uid and the staff group.
printf 'root:x:0:0:root:/var/root:/bin/zsh\n%s:x:501:20:%s:%s:/bin/zsh\nnobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n' \
  "$user" "$user" "$home" >"$tree/private/etc/passwd"
printf 'wheel:x:0:\nstaff:x:20:%s\nnogroup:x:65534:\n' "$user" >"$tree/private/etc/group"
# sudo's own configuration, which visudo -c checks after a rule is installed.
rm -f "$tree/private/etc/sudoers"
printf 'root ALL=(ALL:ALL) ALL\n#includedir /etc/sudoers.d\n' >"$tree/private/etc/sudoers"
chmod 440 "$tree/private/etc/sudoers"

# The display, when there is one. The authority file is copied for the user, who cannot read
# the host user's own; a Wayland socket is left out for the same reason (X11 clients such as
# Tessarin go through the display server's X11 side).
xauthority=${XAUTHORITY:-$HOME/.Xauthority}
rm -f "$tree/private/tmp/.Xauthority-demo"
[ -n "${DISPLAY:-}" ] && [ -f "$xauthority" ] && cp "$xauthority" "$tree/private/tmp/.Xauthority-demo"

# The demo service manager's records (src/standins/sandbox/launchctl), one file per domain.
mkdir -p "$tree/private/var/db/launchd"
chmod 1777 "$tree/private/tmp" "$tree/private/var/tmp" "$tree/private/var/db/launchd"
# A disk device: the user cannot write it directly.
chmod 0640 "$tree/private/var/db/demo-disks/usb-stick.img"

# Who owns what, as on a Mac: the user's tree is the user's; /etc, the helper and daemon folders,
# the disk and the shared folders are root's. Root here is this user outside, so the tree goes
# back to this user when the sandbox ends, and a later start (or rm) can replace it.
as_root chown -R 501:20 "$tree"
as_root chown -R 0:0 "$tree/private/etc" "$tree/Library/LaunchDaemons" "$tree/Library/PrivilegedHelperTools" \
  "$tree/private/var/db/demo-disks"
as_root chown 0:0 "$tree" "$tree/private/tmp" "$tree/private/var/tmp" "$tree/private/var/db/launchd"
trap 'as_root chown -R 0:0 "$tree" 2>/dev/null; kill "$holder" 2>/dev/null' EXIT

# The tree is the sandbox's root folder, so the disk the screens measure is the one it lives on.
# The links bubblewrap makes in it are made again on each start.
for link in bin sbin lib lib32 lib64 libx32 tmp var; do
  if [ -L "$tree/$link" ]; then rm -f "$tree/$link"; fi
done
args=(--unshare-net --unshare-pid --unshare-ipc --unshare-uts --hostname demo-mac
      --die-with-parent --bind "$tree" / --dev /dev --proc /proc --ro-bind /usr /usr
      # The diagnostics screens' stand-ins read the machine's facts here.
      --ro-bind /sys /sys)
for link in bin sbin lib lib32 lib64 libx32; do
  if [ -L "/$link" ]; then args+=(--symlink "$(readlink "/$link")" "/$link")
  elif [ -d "/$link" ]; then args+=(--ro-bind "/$link" "/$link"); fi
done
args+=(--ro-bind /etc /etc --ro-bind "$tree/private/etc/passwd" /etc/passwd --ro-bind "$tree/private/etc/group" /etc/group
      --ro-bind "$tree/private/etc/sudoers" /etc/sudoers)
# As on a Mac, /tmp and /var lead into /private; the sudoers drop-ins are the tree's.
args+=(--symlink private/tmp /tmp --symlink private/var /var --bind "$tree/private/etc/sudoers.d" /etc/sudoers.d)
# Root steps and sudo stay inside (see src/standins/sandbox).
args+=(--ro-bind "$here/src/standins/sandbox" /sandbox
       --ro-bind "$here/src/standins/sandbox/pkexec" /usr/bin/pkexec --ro-bind "$here/src/standins/sandbox/sudo" /usr/bin/sudo)
# The folders bubblewrap makes on the way to a bind are root's and private; the user must pass.
for path in "$here" "${readonly_paths[@]}"; do
  parent=$(dirname "$path") parents=()
  while [ "$parent" != / ]; do parents=("$parent" "${parents[@]}"); parent=$(dirname "$parent"); done
  for parent in "${parents[@]}"; do args+=(--perms 0755 --dir "$parent"); done
  args+=(--ro-bind "$path" "$path")
done

# The Linux stand-in of launchctl fails for want of launchd; the demo Mac has one of its own.
standins=${TESSARIN_STANDIN_DIR:-$(dirname "$1")/standins}
# The same for diskutil, whose one external disk is the tree's USB stick image at /dev/disk4.
case $standins in "$here"/*)
  for tool in launchctl diskutil; do
    [ -f "$standins/$tool" ] && args+=(--ro-bind "$here/src/standins/sandbox/$tool" "$standins/$tool")
  done ;;
esac
args+=(--bind "$tree/private/var/db/demo-disks/usb-stick.img" /dev/disk4)

env_args=(--clearenv --setenv HOME "$home" --setenv USER "$user" --setenv LOGNAME "$user" --setenv SHELL /bin/zsh
          --setenv TMPDIR "$tmpdir" --setenv PATH /usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin
          --setenv LANG "${LANG:-C.UTF-8}" --setenv TESSARIN_SANDBOX 1)
for name in TESSARIN_STANDIN_DIR TESSARIN_SANDBOX_CONFIRM QT_QPA_PLATFORM QT_LOGGING_RULES ASAN_OPTIONS UBSAN_OPTIONS; do
  [ -n "${!name:-}" ] && env_args+=(--setenv "$name" "${!name}")
done
if [ -n "${DISPLAY:-}" ] && [ -d /tmp/.X11-unix ]; then
  args+=(--ro-bind /tmp/.X11-unix /private/tmp/.X11-unix)
  env_args+=(--setenv DISPLAY "$DISPLAY")
  [ -f "$tree/private/tmp/.Xauthority-demo" ] && env_args+=(--setenv XAUTHORITY /private/tmp/.Xauthority-demo)
fi

status=0
as_root bwrap "${args[@]}" "${env_args[@]}" --chdir "$home" -- /sandbox/init "$@" || status=$?
exit $status
