# Three test hosts on this machine, qvhost1..3, that Ansible reaches over SSH
# as it would real ones. Sourced by a test stage; defines functions only.
#
# The stage: the whole test runs in network, mount and pid namespaces of its
# own (hosts_stage, or hosts_reexec at the top of a script), where only lo
# exists. Nothing can leave for the real network, and every connection goes to
# a test address. The hosts share this network namespace, each with a
# loopback address of its own (127.0.0.11, .12, .13): a host in a network
# namespace of its own could not be reached on a loopback address from another
# (127/8 is never routed between namespaces), and veth pairs would bring
# addresses, routes and their cleanup for no gain in what is tested.
#
# A host: a mount, pid and uts namespace of its own, held by its process 1
# (host_init of host-init.sh, started by unshare inside the stage), which
# mounts the host's system and runs sshd. /usr, /etc and /var are overlays whose writes land in
# the host's folder of the stage's tmpfs, so whatever a test installs there
# (files, conffiles, keyrings, apt's and debconf's state) stays in the host.
# On top: fresh tmpfs over /opt, /usr/local/share, /var/opt, /root, /home,
# /run, /tmp, /var/log, apt's lists, cache and sources.list.d and man's cache;
# its own package database (an overlay over one copy that the stage takes
# under dpkg's locks); bind-mounted copies of passwd, group and shadow (with
# the test user qvlab) and of /etc/ssh (a fresh host key, root's authorized
# key). sshd listens on the host's address only, key-only, root with a key.
#
# The controller: its key, a known_hosts of the hosts' real keys, the
# inventory, Ansible's configuration and temporaries, and $HOME all lie in the
# stage's tmpfs; the stage's /root is a tmpfs too, since ssh takes root's home
# from passwd, not from $HOME. When the stage's process 1 ends, the kernel ends
# every process of the stage, and its mounts go with its namespace: a killed
# run leaves nothing running and nothing mounted.
#
#   source tests/ansible/hosts.sh
#   why=$(hosts_can_run) || skip "$why"
#   hosts_reexec "$@"            # or: hosts_stage COMMAND...
#   hosts_up WORK                # sets HOSTS_INVENTORY, HOSTS_SSH_OPTIONS, ANSIBLE_*
#   on_host qvhost2 COMMAND...   # runs COMMAND as root inside the host
#   host_snapshot qvhost1 [PACKAGE]
#   hosts_down                   # also run by the trap hosts_up sets

HOSTS_NAMES=(qvhost1 qvhost2 qvhost3)
declare -gA HOSTS_ADDRESS=([qvhost1]=127.0.0.11 [qvhost2]=127.0.0.12 [qvhost3]=127.0.0.13)
HOSTS_PACKAGE=${HOSTS_PACKAGE:-quorvantic-installer}
HOSTS_USER=qvlab
_hosts_init=$(dirname "$(realpath "${BASH_SOURCE[0]}")")/host-init.sh
_hosts_path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

# ---------------------------------------------------------------- the stage

# Why the hosts cannot be made here, on stdout; fails then.
hosts_can_run() {
    local tool why probe
    [[ $(id -u) -eq 0 ]] || { echo "the test hosts need root (namespaces, mounts, sshd)"; return 1; }
    for tool in unshare nsenter mount ip pgrep python3 dpkg-query ssh ssh-keygen ansible ansible-playbook; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed"; return 1; }
    done
    [[ -x /usr/sbin/sshd ]] || { echo "/usr/sbin/sshd is not installed (openssh-server)"; return 1; }
    why=$(unshare --net --mount --pid --fork --mount-proc --propagation private true 2>&1) ||
        { echo "unshare cannot make private namespaces here: $why"; return 1; }
    probe=$(mktemp -d /tmp/qvhosts-probe.XXXXXX)
    why=$(unshare --mount --propagation private /bin/sh -c 'mount -t tmpfs tmpfs "$1" &&
        mkdir "$1/u" "$1/w" "$1/m" && mount -t overlay overlay -o "lowerdir=/usr,upperdir=$1/u,workdir=$1/w" "$1/m"' \
        _ "$probe" 2>&1) || { rmdir "$probe"; echo "no overlay file system here: $why"; return 1; }
    rmdir "$probe"
}

_hosts_namespaces() { readlink /proc/self/ns/net /proc/self/ns/mnt /proc/self/ns/pid | tr '\n' ' '; }

# Runs COMMAND in a new stage and returns its exit status. unshare ignores
# SIGTERM and SIGINT and passes them on to no one, so on either (or SIGHUP)
# this kills it, and then the kernel kills the stage's process 1 (unshare's
# --kill-child) and with it every process of the stage, hosts and all.
hosts_stage() {
    local stage status=0 saved
    saved=$(trap -p HUP INT TERM)
    QVHOSTS_OUTSIDE=$(_hosts_namespaces) unshare --net --mount --pid --fork --mount-proc \
        --propagation private --kill-child -- "$@" <&0 &
    stage=$!
    trap 'kill -KILL '"$stage"' 2>/dev/null; exit 129' HUP
    trap 'kill -KILL '"$stage"' 2>/dev/null; exit 130' INT
    trap 'kill -KILL '"$stage"' 2>/dev/null; exit 143' TERM
    wait "$stage" || status=$?
    trap - HUP INT TERM
    eval "$saved"
    return "$status"
}

# At the top of a script: runs the script again inside a stage and exits with
# its status, unless this is the stage already.
hosts_reexec() {
    _hosts_in_stage && return 0
    local status=0
    hosts_stage "$BASH" "$0" "$@" || status=$?
    exit "$status"
}

# In a stage: network, mount and pid namespaces all other than those the stage
# was made from, and no network interface but lo.
_hosts_in_stage() {
    [[ -n ${QVHOSTS_OUTSIDE:-} ]] || return 1
    local -a outside inside
    read -r -a outside <<<"$QVHOSTS_OUTSIDE"
    read -r -a inside <<<"$(_hosts_namespaces)"
    ((${#outside[@]} == 3)) || return 1
    local i
    for i in 0 1 2; do [[ ${inside[i]} != "${outside[i]}" ]] || return 1; done
    [[ $(ip -o link show | awk -F': ' '{print $2}') == lo ]]
}

_hosts_network() {
    local address
    ip link set lo up || return 1
    for address in "${HOSTS_ADDRESS[@]}"; do
        ip address replace "$address/32" dev lo || return 1
    done
}

# ---------------------------------------------------------------- hosts_up

# Stands the three hosts up with their state in a tmpfs mounted on WORK/qvhosts,
# and points ssh and Ansible at them. Fails, with the reason, and leaves no host
# running if any does not come up.
hosts_up() {
    local work=${1:-} name started=$SECONDS
    _hosts_in_stage || { echo "hosts_up: not inside a stage of its own (hosts_stage, hosts_reexec)" >&2; return 1; }
    # The path goes into ssh's options and the inventory unquoted.
    [[ $work =~ ^/[A-Za-z0-9._/-]+$ && $(realpath -e -- "$work" 2>/dev/null) == "$work" ]] ||
        { echo "hosts_up: WORK must be an existing absolute path of letters, digits and ._/- without links: '$work'" >&2; return 1; }
    [[ -d $work && $(stat -c %u "$work") == 0 ]] && ! [[ $(stat -c %A "$work") =~ ^d(....w|.......w) ]] ||
        { echo "hosts_up: $work is not a folder root alone may write to" >&2; return 1; }
    _hosts_network || { echo "hosts_up: lo could not be brought up" >&2; return 1; }
    hosts_down >/dev/null 2>&1 || true
    export HOSTS_DIR=$work/qvhosts
    mkdir -p "$HOSTS_DIR"
    mountpoint -q "$HOSTS_DIR" && umount "$HOSTS_DIR"
    mount -t tmpfs -o mode=700 tmpfs "$HOSTS_DIR" || return 1
    mount -t tmpfs -o mode=700 tmpfs /root || return 1
    _hosts_controller_key && _hosts_accounts && _hosts_dpkg_snapshot || return 1
    _hosts_trap_exit
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 143' TERM
    for name in "${HOSTS_NAMES[@]}"; do
        _hosts_prepare "$name" && _hosts_start "$name" || { hosts_down >&2; return 1; }
    done
    for name in "${HOSTS_NAMES[@]}"; do
        _hosts_wait "$name" || { hosts_down >&2; return 1; }
    done
    _hosts_controller_files && _hosts_environment || { hosts_down >&2; return 1; }
    echo "# ${HOSTS_NAMES[*]} up in $((SECONDS - started)) s; inventory $HOSTS_INVENTORY"
}

_hosts_on_exit() { hosts_down >&2 || true; }
# hosts_down on exit, before what the caller's EXIT trap already does.
_hosts_trap_exit() {
    local previous
    previous=$(trap -p EXIT)
    [[ $previous == *_hosts_on_exit* ]] && return 0
    previous=${previous#trap -- }
    eval "previous=${previous% EXIT}"
    # shellcheck disable=SC2064 # the caller's trap as it is now
    trap "_hosts_on_exit; ${previous:-:}" EXIT
}

_hosts_controller_key() {
    local controller=$HOSTS_DIR/controller
    mkdir -m 700 "$controller" "$controller/home" "$controller/tmp" "$controller/cp"
    export HOSTS_KEY=$controller/id_ed25519
    ssh-keygen -q -t ed25519 -N '' -C qvhosts-controller -f "$HOSTS_KEY" </dev/null ||
        { echo "hosts_up: ssh-keygen could not make the controller's key" >&2; return 1; }
}

# passwd, group and shadow as the machine has them, with qvlab added under an
# id that no account or group of the machine has.
_hosts_accounts() {
    local accounts=$HOSTS_DIR/accounts uid=62300 file days
    if getent passwd "$HOSTS_USER" >/dev/null || getent group "$HOSTS_USER" >/dev/null; then
        echo "hosts_up: this machine has a user or group $HOSTS_USER already" >&2
        return 1
    fi
    while getent passwd "$uid" >/dev/null || getent group "$uid" >/dev/null; do uid=$((uid + 1)); done
    mkdir -m 700 "$accounts"
    for file in passwd group shadow gshadow; do
        [[ -f /etc/$file ]] && cp -p "/etc/$file" "$accounts/$file"
    done
    days=$(($(date +%s) / 86400))
    echo "$HOSTS_USER:x:$uid:$uid:Quorvantic test user:/home/$HOSTS_USER:/bin/bash" >>"$accounts/passwd"
    echo "$HOSTS_USER:x:$uid:" >>"$accounts/group"
    # "*", not "!": without PAM, sshd refuses every login, a key's too, to an
    # account whose password is locked with "!"; root's is made so as well.
    echo "$HOSTS_USER:*:$days:0:99999:7:::" >>"$accounts/shadow"
    sed -i -E 's/^root:![^:]*:/root:*:/' "$accounts/shadow"
    [[ -f $accounts/gshadow ]] && echo "$HOSTS_USER:!::" >>"$accounts/gshadow"
    export HOSTS_USER_UID=$uid
}

# Runs COMMAND while holding dpkg's locks on the machine's database, waiting
# at most TIMEOUT seconds for them (tests/packaging/dpkg-locked).
_hosts_locked() {
    local timeout=$1
    shift
    "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/../packaging/dpkg-locked" /var/lib/dpkg "$timeout" "$@"
}

# One copy of the package database for the stage, below each host's own. Taken under dpkg's locks; if another package manager keeps them, taken
# without, again while files vanish under cp or a change shows half made.
_hosts_dpkg_snapshot() {
    local copy=$HOSTS_DIR/dpkg
    if ! _hosts_locked 60 cp -a /var/lib/dpkg "$copy" 2>"$HOSTS_DIR/dpkg-copy.err"; then
        sed 's/^/# /' "$HOSTS_DIR/dpkg-copy.err" >&2
        for _ in 1 2 3 4 5; do
            rm -rf "$copy"
            cp -a /var/lib/dpkg "$copy" 2>>"$HOSTS_DIR/dpkg-copy.err" && _hosts_dpkg_whole "$copy" && break
            sleep 1
        done
    fi
    if ! _hosts_dpkg_whole "$copy" || ! dpkg-query --admindir="$copy" -W dpkg >/dev/null 2>>"$HOSTS_DIR/dpkg-copy.err"; then
        echo "hosts_up: no usable copy of /var/lib/dpkg could be taken:" >&2
        sed 's/^/   /' "$HOSTS_DIR/dpkg-copy.err" >&2
        return 1
    fi
}
# No change of dpkg's was under way in it.
_hosts_dpkg_whole() { [[ -f $1/status && ! -e $1/tmp.ci && -z $(ls -A "$1/updates" 2>/dev/null) ]]; }

_hosts_sshd_config() {
    cat <<CONFIG
ListenAddress $1
Port 22
HostKey /etc/ssh/ssh_host_ed25519_key
PidFile /run/sshd.pid
PermitRootLogin prohibit-password
AuthenticationMethods publickey
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
AuthorizedKeysFile /etc/ssh/authorized_keys/%u
StrictModes yes
UseDNS no
PrintMotd no
X11Forwarding no
AllowAgentForwarding no
AllowTcpForwarding no
MaxStartups 30:50:60
MaxSessions 30
Subsystem sftp internal-sftp
CONFIG
}

# The host's folder: the overlays' upper layers (its /usr, /etc, /var and
# package database), its own copy of the accounts, and its /etc/ssh.
_hosts_prepare() {
    local name=$1 state=$HOSTS_DIR/$1 tree
    mkdir -m 700 "$state" || return 1
    for tree in usr etc var dpkg; do mkdir -p "$state/upper/$tree" "$state/work/$tree"; done
    cp -a "$HOSTS_DIR/accounts" "$state/accounts" || return 1
    : >"$state/sources.list"
    local ssh=$state/etc-ssh
    mkdir -m 755 "$ssh" "$ssh/authorized_keys"
    ssh-keygen -q -t ed25519 -N '' -C "root@$name" -f "$ssh/ssh_host_ed25519_key" </dev/null || return 1
    install -m 644 "$HOSTS_KEY.pub" "$ssh/authorized_keys/root"
    [[ -f /etc/ssh/moduli ]] && cp /etc/ssh/moduli "$ssh/moduli"
    [[ -f /etc/ssh/ssh_config ]] && cp /etc/ssh/ssh_config "$ssh/ssh_config"
    _hosts_sshd_config "${HOSTS_ADDRESS[$name]}" >"$ssh/sshd_config"
}

# The host's process 1 runs host_init of host-init.sh; the stage keeps the
# process id, as the stage sees it, for nsenter. "qvhost-holder:NAME" in its
# command line lets the stage count what is left.
_hosts_start() {
    local name=$1 state=$HOSTS_DIR/$1 outer child i
    unshare --mount --pid --uts --fork --mount-proc --propagation private --kill-child -- \
        "$BASH" -c 'source "$1" && host_init "${@:2}"' "qvhost-holder:$name" \
        "$_hosts_init" "$name" "$state" "${HOSTS_ADDRESS[$name]}" "$HOSTS_USER" </dev/null >"$state/host.log" 2>&1 &
    outer=$!
    echo "$outer" >"$state/unshare.pid"
    for ((i = 0; i < 250; i++)); do
        child=$(pgrep -P "$outer" | head -n 1) && [[ -n $child ]] && break
        _hosts_alive "$outer" || break
        sleep 0.02
    done
    [[ -n ${child:-} ]] || { echo "hosts_up: $name: did not start; the host's log:" >&2; sed 's/^/   /' "$state/host.log" >&2; return 1; }
    echo "$child" >"$state/pid"
}

# Until sshd of NAME greets on its address (or gives up after 20 s).
_hosts_wait() {
    local name=$1 state=$HOSTS_DIR/$1 address=${HOSTS_ADDRESS[$1]} deadline=$((SECONDS + 20)) banner
    while ((SECONDS < deadline)) && _hosts_alive "$(cat "$state/pid" 2>/dev/null)"; do
        banner=$(timeout 3 "$BASH" -c 'exec 3<>"/dev/tcp/$1/22" && IFS= read -r -t 2 line <&3 && echo "$line"' \
            _ "$address" 2>/dev/null) && [[ $banner == SSH-2.0-* ]] && return 0
        sleep 0.05
    done
    echo "hosts_up: $name: sshd did not accept a connection on $address:22; the host's log:" >&2
    sed 's/^/   /' "$state/host.log" >&2
    return 1
}

_hosts_alive() {
    local stat
    [[ $1 =~ ^[0-9]+$ ]] && { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
    stat=${stat##*) }
    [[ ${stat%% *} != Z ]]
}

# known_hosts of the hosts' own keys, the inventory and Ansible's configuration.
_hosts_controller_files() {
    local controller=$HOSTS_DIR/controller name key
    export HOSTS_KNOWN_HOSTS=$controller/known_hosts HOSTS_INVENTORY=$controller/inventory
    : >"$HOSTS_KNOWN_HOSTS"
    for name in "${HOSTS_NAMES[@]}"; do
        read -r -a key <"$HOSTS_DIR/$name/etc-ssh/ssh_host_ed25519_key.pub" || return 1
        echo "${HOSTS_ADDRESS[$name]} ${key[0]} ${key[1]}" >>"$HOSTS_KNOWN_HOSTS"
    done
    export HOSTS_SSH_OPTIONS="-F /dev/null -o UserKnownHostsFile=$HOSTS_KNOWN_HOSTS \
-o GlobalKnownHostsFile=/dev/null -o StrictHostKeyChecking=yes -o IdentitiesOnly=yes \
-o IdentityAgent=none -o BatchMode=yes -o ConnectTimeout=10 -i $HOSTS_KEY"
    {
        echo "[qvhosts]"
        for name in "${HOSTS_NAMES[@]}"; do echo "$name ansible_host=${HOSTS_ADDRESS[$name]}"; done
        cat <<VARS

[qvhosts:vars]
ansible_user=root
ansible_port=22
ansible_python_interpreter=/usr/bin/python3
ansible_ssh_private_key_file=$HOSTS_KEY
ansible_ssh_common_args='-o UserKnownHostsFile=$HOSTS_KNOWN_HOSTS -F /dev/null -o GlobalKnownHostsFile=/dev/null -o StrictHostKeyChecking=yes -o IdentitiesOnly=yes -o IdentityAgent=none'
VARS
    } >"$HOSTS_INVENTORY"
    cat >"$controller/ansible.cfg" <<CONFIG
[defaults]
inventory = $HOSTS_INVENTORY
host_key_checking = True
retry_files_enabled = False
nocolor = True

[ssh_connection]
pipelining = True
control_path_dir = $controller/cp
CONFIG
}

# Nothing of the machine's home or /etc/ansible is read or written, nor any
# bytecode beside Ansible's sources. The remote temporary folder is the
# default's, in each host's own /root.
_hosts_environment() {
    local controller=$HOSTS_DIR/controller
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME XDG_RUNTIME_DIR SSH_AUTH_SOCK
    # shellcheck disable=SC2088 # expanded on the host, to root's home there
    export HOME=$controller/home TMPDIR=$controller/tmp PYTHONDONTWRITEBYTECODE=1 \
        ANSIBLE_CONFIG=$controller/ansible.cfg ANSIBLE_HOME=$controller/home/.ansible \
        ANSIBLE_INVENTORY=$HOSTS_INVENTORY ANSIBLE_LOCAL_TEMP=$controller/tmp/ansible \
        ANSIBLE_REMOTE_TEMP='~/.ansible/tmp' ANSIBLE_SSH_CONTROL_PATH_DIR=$controller/cp \
        ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_HOST_KEY_CHECKING=True
}

# ---------------------------------------------------------------- using them

# The process id, in the stage, of NAME's process 1; fails unless it is one of
# the hosts and up.
_hosts_pid() {
    local name=$1 pid known
    for known in "${HOSTS_NAMES[@]}"; do [[ $name == "$known" ]] && break; done
    [[ $name == "$known" ]] || { echo "no test host '$name' (${HOSTS_NAMES[*]})" >&2; return 1; }
    [[ -n ${HOSTS_DIR:-} && -f $HOSTS_DIR/$name/pid ]] && pid=$(cat "$HOSTS_DIR/$name/pid" 2>/dev/null) &&
        _hosts_alive "$pid" || { echo "the test host $name is not up" >&2; return 1; }
    echo "$pid"
}

# Runs COMMAND as root inside host NAME, with a clean environment, from /.
on_host() {
    local name=${1:-} pid
    (($# >= 2)) || { echo "usage: on_host NAME COMMAND..." >&2; return 2; }
    shift
    pid=$(_hosts_pid "$name") || return 1
    nsenter --target "$pid" --mount --pid --uts -- \
        /usr/bin/env -i PATH="$_hosts_path" HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 "$@"
}

# What an install on NAME changes, for comparing before and after: the trees
# of /opt, /usr/local/share, /var/opt and qvlab's home with each entry's type,
# mode, owner, a file's size and digest and a link's target, and PACKAGE's
# state in the host's package database. (A folder's size, which on tmpfs
# counts its entries, is left out.)
host_snapshot() {
    local name=${1:-} package=${2:-$HOSTS_PACKAGE}
    [[ $package =~ ^[a-z0-9][a-z0-9+.-]+$ ]] || { echo "host_snapshot: not a package name: '$package'" >&2; return 2; }
    on_host "$name" /bin/bash -c '
        set -o pipefail
        export LC_ALL=C
        trees=(/opt /usr/local/share /var/opt "/home/$2")
        find "${trees[@]}" \( -type d -printf "%p %y %M %u:%g\n" \) -o -printf "%p %y %M %u:%g %s %l\n" | sort
        find "${trees[@]}" -type f -exec sha256sum {} + | sort -k 2
        echo "package $1: $(dpkg-query -W -f="\${db:Status-Abbrev}\${Version}" "$1" 2>/dev/null || echo unknown)"
    ' _ "$package" "$HOSTS_USER"
}

# ---------------------------------------------------------------- hosts_down

# Stops every sshd, host and ssh master of the stage; fails, naming them, if
# any is left. Quiet when all went.
hosts_down() {
    [[ -n ${HOSTS_DIR:-} && -d $HOSTS_DIR ]] || return 0
    local name state pid outer socket left deadline
    # Ansible's masters first, while the hosts still answer them.
    for socket in "$HOSTS_DIR"/controller/cp/*; do
        [[ -S $socket ]] && ssh -F /dev/null -o ControlPath="$socket" -O exit qvhost >/dev/null 2>&1 || true
    done
    for name in "${HOSTS_NAMES[@]}"; do
        pid=$(cat "$HOSTS_DIR/$name/pid" 2>/dev/null) && _hosts_alive "$pid" && { kill -TERM "$pid" 2>/dev/null || true; }
    done
    for name in "${HOSTS_NAMES[@]}"; do
        state=$HOSTS_DIR/$name
        pid=$(cat "$state/pid" 2>/dev/null) || pid=
        outer=$(cat "$state/unshare.pid" 2>/dev/null) || outer=
        deadline=$((SECONDS + 5))
        while _hosts_alive "$pid" && ((SECONDS < deadline)); do sleep 0.05; done
        # Its process 1 gone, the kernel ends every process of the host.
        _hosts_alive "$pid" && { kill -KILL "$pid" 2>/dev/null || true; }
        [[ -n $outer ]] && { wait "$outer" 2>/dev/null || true; }
        rm -f "$state/pid" "$state/unshare.pid"
    done
    deadline=$((SECONDS + 5))
    while left=$(_hosts_left) && ((SECONDS < deadline)); do sleep 0.05; done
    if left=$(_hosts_left); then
        echo "hosts_down: still running in the stage:" >&2
        sed 's/^/   /' <<<"$left" >&2
        return 1
    fi
}

# The stage's sshd, hosts and ssh clients still running, if any.
_hosts_left() {
    local left
    left=$({ pgrep -a -x sshd; pgrep -a -f 'qvhost-holder:qvhost'; pgrep -a -x ssh; } 2>/dev/null)
    [[ -n $left ]] && echo "$left"
}
