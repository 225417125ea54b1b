# The private system that the sandboxes of tests/packaging install into;
# sourced by sandbox.sh and apt-sandbox.sh, which run as root inside a private
# mount and process namespace.

# A copy of the package database, taken while holding dpkg's locks so that no
# dpkg or apt of the machine is half way through changing it. dpkg and apt
# take fcntl locks, not flock(2) ones, on lock-frontend (held by a frontend
# for its whole run, and by dpkg run alone) and then on lock (held by dpkg
# while it writes): the same two, in the same order, exclude them both. The
# locks are held only while copying, which takes well under a second; another
# package manager starting meanwhile waits (apt) or stops with "locked"
# (dpkg run alone), as it would for any other. A database copied mid-change
# (dpkg's tmp.ci and updates/ come and go) would make the sandbox's dpkg stop
# or ask for "dpkg --configure -a".
copy_dpkg_database() {
    local copy=$1 admin=/var/lib/dpkg
    "$(dirname "${BASH_SOURCE[0]}")/dpkg-locked" "$admin" 300 cp -a "$admin" "$copy" ||
        { echo "   the package database could not be copied"; return 1; }
    # Consistent: no change was under way, and dpkg reads it.
    if [[ -e $copy/tmp.ci || -n $(ls -A "$copy/updates") ]]; then
        echo "   $admin was copied with a change under way (tmp.ci or updates/)"
        return 1
    fi
    local audit
    audit=$(dpkg --admindir="$copy" --audit 2>&1) && [[ -z $audit ]] ||
        { echo "   the copy of $admin fails dpkg's audit:" && sed 's/^/   /' <<<"$audit" | head -n 5; return 1; }
}

# SANDBOX becomes a tmpfs holding what the installs write: /usr is an overlay
# whose writes land in it; /opt, /usr/local/share, /var/opt, /root and man's
# cache are fresh; the package database is a bind-mounted copy.
private_system() {
    local sandbox=$1 folder
    mkdir -p "$sandbox"
    mount -t tmpfs -o mode=755 tmpfs "$sandbox"
    # /usr first: a mount made below it later stays on top of the overlay.
    mkdir -p "$sandbox/usr-upper" "$sandbox/usr-work"
    mount -t overlay overlay -o "lowerdir=/usr,upperdir=$sandbox/usr-upper,workdir=$sandbox/usr-work" /usr
    for folder in /opt /usr/local/share /var/opt /root; do
        mount -t tmpfs -o mode=755 tmpfs "$folder"
    done
    [[ -d /var/cache/man ]] && mount -t tmpfs -o mode=755 tmpfs /var/cache/man
    copy_dpkg_database "$sandbox/dpkg" || return 1
    mount --bind "$sandbox/dpkg" /var/lib/dpkg
}

# Test users that exist only in this namespace: SANDBOX FIRST_UID USER...
# appends each, with a group of its own, to copies of passwd and group in
# SANDBOX (the first free ids from FIRST_UID, home SANDBOX/home/USER) and
# mounts the copies over the machine's.
add_test_users() {
    local sandbox=$1 uid=$2 user
    shift 2
    cp /etc/passwd "$sandbox/passwd"
    cp /etc/group "$sandbox/group"
    for user; do
        while getent passwd "$uid" >/dev/null || getent group "$uid" >/dev/null; do uid=$((uid + 1)); done
        echo "$user:x:$uid:$uid::$sandbox/home/$user:/bin/sh" >>"$sandbox/passwd"
        echo "$user:x:$uid:" >>"$sandbox/group"
        uid=$((uid + 1))
    done
    mount --bind "$sandbox/passwd" /etc/passwd
    mount --bind "$sandbox/group" /etc/group
}
