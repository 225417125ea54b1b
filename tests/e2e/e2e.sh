#!/usr/bin/env bash
# Installs for real, end to end, in a sandbox: the wizard's side runs as a test
# user and elevates through the real pkexec, polkitd and privileged helper. The
# sandbox is a private mount and process namespace in which /opt,
# /usr/local/share, /run/dbus and /etc/polkit-1/rules.d are fresh tmpfs, the
# test users exist only in bind-mounted copies of /etc/passwd and /etc/group,
# and a system bus of its own runs; the host is left as it was.
#
#   e2e.sh BUNDLE DRIVER CANCEL_AGENT PRESET_TEMPLATE
#
# Exits 77 (skipped) with the reason when the sandbox cannot be made here.
set -euo pipefail
shopt -u patsub_replacement 2>/dev/null || true

skip() {
    echo "SKIPPED: $*"
    exit 77
}

if [[ "${1:-}" != --inside ]]; then
    [[ $# -eq 4 ]] || { echo "usage: $0 BUNDLE DRIVER CANCEL_AGENT PRESET_TEMPLATE" >&2; exit 2; }
    [[ $(id -u) -eq 0 ]] || skip "the end-to-end sandbox needs root (it mounts file systems in a private namespace)"
    for tool in unshare setpriv pkexec dbus-daemon mount; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
    [[ -x /usr/lib/polkit-1/polkitd ]] || skip "polkitd is not installed (package polkitd)"
    [[ -d /etc/polkit-1/rules.d ]] || skip "/etc/polkit-1/rules.d is missing (package polkitd)"
    [[ -u $(command -v pkexec) ]] || skip "pkexec is not setuid root here"
    why=$(unshare --mount --pid --fork --mount-proc --propagation private true 2>&1) ||
        skip "unshare cannot make a private namespace here: $why"
    sandbox=$(mktemp -d /tmp/quorvantic-e2e.XXXXXX)
    trap 'rmdir "$sandbox" 2>/dev/null || true' EXIT
    status=0
    # The harness must not be the namespace's first process: pkexec refuses a
    # caller whose parent is process 1.
    unshare --mount --pid --fork --mount-proc --propagation private -- \
        bash -c '"$@"; exit $?' init bash "$0" --inside "$sandbox" "$@" || status=$?
    exit "$status"
fi

# ---------------------------------------------------------------- the sandbox
sandbox=$2
bundle=$3
driver=$4
agent=$5
presetTemplate=$6

mount -t tmpfs -o mode=755 tmpfs "$sandbox"
out=$sandbox/out
mkdir -p "$out" "$sandbox/home" "$sandbox/bin"
chmod 1777 "$out"

# /opt and /usr/local/share: fresh and empty for every case.
fresh_system() {
    local size=${1:-}
    for folder in /opt /usr/local/share; do
        if [[ $(findmnt -n -o FSTYPE --mountpoint "$folder" 2>/dev/null) == tmpfs ]] &&
            [[ -e $sandbox/.mounted$folder ]]; then
            umount "$folder"
        fi
        mount -t tmpfs -o mode=755 tmpfs "$folder"
        mkdir -p "$sandbox/.mounted$folder"
    done
    if [[ -n $size ]]; then
        umount /opt
        mount -t tmpfs -o "mode=755,size=$size" tmpfs /opt
    fi
}
fresh_system

if [[ -d /run/dbus ]]; then
    mount -t tmpfs -o mode=755 tmpfs /run/dbus
else
    mount -t tmpfs -o mode=755 tmpfs /run
    mkdir -p /run/dbus
fi
mount -t tmpfs -o mode=755 tmpfs /etc/polkit-1/rules.d

# Test users, known only inside the namespace.
cp /etc/passwd "$sandbox/passwd"
cp /etc/group "$sandbox/group"
declare -A uidOf
next=61000
for role in allow deny cancel; do
    name=qve2e-$role
    while getent passwd "$next" >/dev/null || getent group "$next" >/dev/null; do
        next=$((next + 1))
    done
    uidOf[$role]=$next
    echo "$name:x:$next:$next:Quorvantic test:$sandbox/home/$name:/bin/sh" >>"$sandbox/passwd"
    echo "$name:x:$next:" >>"$sandbox/group"
    next=$((next + 1))
done
mount --bind "$sandbox/passwd" /etc/passwd
mount --bind "$sandbox/group" /etc/group
allowUser=qve2e-allow
denyUser=qve2e-deny
cancelUser=qve2e-cancel

cat >/etc/polkit-1/rules.d/10-quorvantic-e2e.rules <<RULES
polkit.addRule(function(action, subject) {
    if (action.id != "org.freedesktop.policykit.exec")
        return polkit.Result.NOT_HANDLED;
    if (subject.user == "$allowUser")
        return polkit.Result.YES;
    if (subject.user == "$denyUser")
        return polkit.Result.NO;
    if (subject.user == "$cancelUser")
        return polkit.Result.AUTH_ADMIN;
    return polkit.Result.NOT_HANDLED;
});
RULES
chmod 644 /etc/polkit-1/rules.d/10-quorvantic-e2e.rules

rm -f /run/dbus/pid
dbus-daemon --system --fork

# A fresh home (and so a fresh photo-host folder) for a user.
fresh_home() {
    local user=$1 home=$sandbox/home/$1
    rm -rf "$home"
    mkdir -p "$home"
    chown "$user:$user" "$home"
    chmod 700 "$home"
}

# Runs a command as a test user, with the environment a desktop session gives.
as_user() {
    local user=$1 home=$sandbox/home/$1
    shift
    (cd "$home" && setpriv --reuid="$user" --regid="$user" --init-groups \
        env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin \
        XDG_DATA_HOME="$home/.local/share" QT_QPA_PLATFORM=offscreen "$@")
}

failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok - $what"
    else
        echo "not ok - $what"
        failures=$((failures + 1))
    fi
}
equal() { [[ "$1" == "$2" ]] || { printf '   expected: %q\n   actual:   %q\n' "$2" "$1"; return 1; }; }

cp "$agent" "$sandbox/bin/cancel-agent"
chmod 755 "$sandbox/bin/cancel-agent"

# ------------------------------------------------- the sandbox works at all
for role in allow deny cancel; do fresh_home "qve2e-$role"; done
# pkexec asks about its parent, so each runs below a shell of the test user.
rc=0; as_user "$allowUser" sh -c 'pkexec /bin/true; exit $?' 2>"$out/pkexec-allow.err" || rc=$?
check "sandbox: pkexec runs a command for the allowed user" equal "$rc" 0
rc=0; as_user "$denyUser" sh -c 'pkexec /bin/true; exit $?' 2>"$out/pkexec-deny.err" || rc=$?
check "sandbox: pkexec refuses the denied user (127)" equal "$rc" 127
check "sandbox: the refusal comes from the rule" grep -q "Not authorized" "$out/pkexec-deny.err"
rc=0
as_user "$cancelUser" bash -c '
    "$1" $$ >"$2" &
    agent=$!
    for _ in $(seq 200); do grep -q registered "$2" && break; sleep 0.05; done
    status=0
    pkexec /bin/true || status=$?
    kill "$agent"
    exit "$status"' _ "$sandbox/bin/cancel-agent" "$out/agent.out" 2>"$out/pkexec-cancel.err" || rc=$?
check "sandbox: an agent answering Cancel dismisses pkexec (126)" equal "$rc" 126
root=$(as_user "$allowUser" sh -c 'pkexec /usr/bin/id -u; exit $?' 2>/dev/null || true)
check "sandbox: pkexec runs the command as root" equal "$root" 0
if ((failures > 0)); then
    for f in "$out"/pkexec-*.err; do echo "--- $f"; cat "$f"; done
    echo "The sandbox itself does not work; no install was tried."
    exit 1
fi

helper=$bundle/usr/libexec/quorvantic-installer/quorvantic-helper
if [[ ! -x $helper || ! -x $driver ]]; then
    echo "The privileged helper is not built ($helper); the sandbox works, the install was not tried."
    echo "(driver: $driver)"
    exit 77
fi
