# Process 1 of a test host of hosts.sh, inside the host's fresh mount, pid and
# uts namespaces (still in the stage's network namespace): mounts the host's
# system over the stage's view of the machine, then runs sshd until told to
# stop. Sourced by the host's bash; defines functions only.
#
#   host_init NAME STATE_FOLDER ADDRESS USER

# Process 1 of host NAME: its system, then sshd, until told to stop.
host_init() {
    local name=$1 state=$2 address=$3 user=$4 sshd status=0
    set -euo pipefail
    hostname "$name"
    _host_mounts "$state"
    _host_user "$user"
    echo "$address $name" >>/etc/hosts
    dpkg-query -W dpkg >/dev/null
    /usr/sbin/sshd -D -e -f /etc/ssh/sshd_config &
    sshd=$!
    trap 'kill -TERM "$sshd" 2>/dev/null; wait "$sshd" || true; exit 0' TERM INT HUP
    wait "$sshd" || status=$?
    echo "$name: sshd ended with status $status"
    exit "$status"
}

# Paths into the host's folder are relative: the folder lies in the stage's
# tmpfs, which an overlay or tmpfs mounted over one of its parents would hide.
_host_mounts() {
    local tree file folder
    cd "$1"
    # The overlays first: what is mounted below them later stays on top.
    for tree in usr etc var; do
        mount -t overlay overlay -o "lowerdir=/$tree,upperdir=upper/$tree,workdir=work/$tree" "/$tree"
    done
    # The host's own package database: the stage's copy below, what the
    # host's dpkg writes on top (as cheap as a bind-mounted copy, and quicker).
    mount -t overlay overlay -o "lowerdir=../dpkg,upperdir=upper/dpkg,workdir=work/dpkg" /var/lib/dpkg
    for file in passwd group shadow gshadow; do
        [[ -f accounts/$file ]] && mount --bind "accounts/$file" "/etc/$file"
    done
    mount --bind etc-ssh /etc/ssh
    [[ -f /etc/apt/sources.list ]] && mount --bind sources.list /etc/apt/sources.list
    for folder in /opt /usr/local/share /var/opt /root /home /run /tmp /var/log /var/cache/apt \
        /var/lib/apt/lists /etc/apt/sources.list.d /var/cache/man; do
        mkdir -p "$folder"
        mount -t tmpfs -o mode=755 tmpfs "$folder"
    done
    cd /
    chmod 700 /root
    chmod 1777 /tmp
    mkdir -p /run/sshd /run/lock /var/log/apt /var/cache/apt/archives/partial /var/lib/apt/lists/partial
    chmod 1777 /run/lock
}

# The test user's home, private, with the data folder a desktop session has.
_host_user() {
    local home=/home/$1
    install -d -m 700 -o "$1" -g "$1" "$home"
    install -d -m 755 -o "$1" -g "$1" "$home/.local" "$home/.local/share"
}
