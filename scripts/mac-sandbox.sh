#!/usr/bin/env bash
# Runs a command inside a sandbox that looks like a Mac: a generated tree bound at /Applications,
# /System, /Library, /Users, /Volumes, /private (with /tmp, /var and /etc/sudoers.d leading into
# it) and /opt, the host's /usr and /etc read-only, loopback as the only network, and the user
# "<name>" (uid 501) at home in /Users/<name>. Nothing run inside can change a host file outside
# the tree: root steps run as root of a user namespace of their own (src/standins/sandbox).
#
#   mac-sandbox.sh --generator <tessarin-demo-tree> [--tree DIR] [--user NAME] [--keep]
#                  [--ro PATH]... -- <command> [arguments...]
#
# The tree is made afresh on each start unless --keep. When bubblewrap cannot make the sandbox
# (no user namespaces, say), the command runs outside it with TESSARIN_SANDBOX_UNAVAILABLE set
# to the reason, so that a test can say why it skips instead of passing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

generator='' tree="${XDG_CACHE_HOME:-$HOME/.cache}/tessarin/demo-mac" user=demo keep=()
readonly_binds=()
while [ $# -gt 0 ]; do
  case $1 in
    --generator) generator=$2; shift 2 ;;
    --tree) tree=$2; shift 2 ;;
    --user) user=$2; shift 2 ;;
    --keep) keep=(--keep); shift ;;
    --ro) readonly_binds+=(--ro-bind "$2" "$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "mac-sandbox.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] && [ -n "$generator" ] || { echo "usage: mac-sandbox.sh --generator TOOL [--tree DIR] [--user NAME] [--keep] -- COMMAND..." >&2; exit 2; }

unavailable() {
  local reason=$1
  shift
  echo "mac-sandbox.sh: the sandbox cannot start ($reason)" >&2
  TESSARIN_SANDBOX_UNAVAILABLE=$reason exec "$@"
}
command -v bwrap >/dev/null || unavailable "bubblewrap is not installed" "$@"
probe=$(bwrap --unshare-user --uid 501 --gid 20 --ro-bind / / --unshare-net true 2>&1) ||
  unavailable "bubblewrap cannot make a user namespace: ${probe:-unknown error}" "$@"

mkdir -p "$(dirname "$tree")"
tmpdir=$("$generator" "${keep[@]}" "$tree" "$user")
tree=$(cd "$tree" && pwd)
home=/Users/$user

# Who is who inside: root, and the user with a Mac's first uid and the staff group.
printf 'root:x:0:0:root:/var/root:/bin/zsh\n%s:x:501:20:%s:%s:/bin/zsh\nnobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin\n' \
  "$user" "$user" "$home" >"$tree/private/etc/passwd"
printf 'wheel:x:0:\nstaff:x:20:%s\nnogroup:x:65534:\n' "$user" >"$tree/private/etc/group"
# sudo's own configuration, which visudo -c checks after a rule is installed.
rm -f "$tree/private/etc/sudoers"
printf 'root ALL=(ALL:ALL) ALL\n#includedir /etc/sudoers.d\n' >"$tree/private/etc/sudoers"
chmod 440 "$tree/private/etc/sudoers"

args=(--unshare-user --uid 501 --gid 20 --unshare-net --unshare-pid --unshare-ipc --unshare-uts --hostname demo-mac
      --die-with-parent --cap-drop ALL --dev /dev --proc /proc --ro-bind /usr /usr
      # The diagnostics screens' stand-ins read the machine's facts here.
      --ro-bind /sys /sys)
for link in bin sbin lib lib32 lib64 libx32; do
  if [ -L "/$link" ]; then args+=(--symlink "$(readlink "/$link")" "/$link")
  elif [ -d "/$link" ]; then args+=(--ro-bind "/$link" "/$link"); fi
done
args+=(--ro-bind /etc /etc --ro-bind "$tree/private/etc/passwd" /etc/passwd --ro-bind "$tree/private/etc/group" /etc/group
      --ro-bind "$tree/private/etc/sudoers" /etc/sudoers)
for top in Applications System Library Users Volumes private opt; do
  args+=(--bind "$tree/$top" "/$top")
done
# As on a Mac, /tmp and /var lead into /private; the sudoers drop-ins are the tree's.
args+=(--symlink private/tmp /tmp --symlink private/var /var --bind "$tree/private/etc/sudoers.d" /etc/sudoers.d)
# Root steps and sudo stay inside (see src/standins/sandbox).
args+=(--ro-bind "$here/src/standins/sandbox/pkexec" /usr/bin/pkexec --ro-bind "$here/src/standins/sandbox/sudo" /usr/bin/sudo)
args+=(--ro-bind "$here" "$here" "${readonly_binds[@]}")

# The display, when there is one.
env_args=(--clearenv --setenv HOME "$home" --setenv USER "$user" --setenv LOGNAME "$user" --setenv SHELL /bin/zsh
          --setenv TMPDIR "$tmpdir" --setenv PATH /usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin
          --setenv LANG "${LANG:-C.UTF-8}" --setenv TESSARIN_SANDBOX 1)
for name in TESSARIN_STANDIN_DIR TESSARIN_SANDBOX_CONFIRM QT_QPA_PLATFORM QT_LOGGING_RULES ASAN_OPTIONS UBSAN_OPTIONS; do
  [ -n "${!name:-}" ] && env_args+=(--setenv "$name" "${!name}")
done
if [ -n "${DISPLAY:-}" ] && [ -d /tmp/.X11-unix ]; then
  args+=(--ro-bind /tmp/.X11-unix /private/tmp/.X11-unix)
  env_args+=(--setenv DISPLAY "$DISPLAY")
  xauthority=${XAUTHORITY:-$HOME/.Xauthority}
  if [ -f "$xauthority" ]; then
    args+=(--ro-bind "$xauthority" /private/tmp/.Xauthority-demo)
    env_args+=(--setenv XAUTHORITY /private/tmp/.Xauthority-demo)
  fi
fi
if [ -n "${WAYLAND_DISPLAY:-}" ] && [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ]; then
  args+=(--tmpfs /run --ro-bind "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" "/run/user/501/$WAYLAND_DISPLAY")
  env_args+=(--setenv WAYLAND_DISPLAY "$WAYLAND_DISPLAY" --setenv XDG_RUNTIME_DIR /run/user/501)
fi

exec bwrap "${args[@]}" "${env_args[@]}" --chdir "$home" -- "$@"
