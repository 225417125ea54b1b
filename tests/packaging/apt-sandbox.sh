#!/usr/bin/env bash
# apt installing and upgrading the installer from the signed repository, as
# tests/packaging/repository.sh starts it: inside a private mount and process
# namespace with namespace.sh's private system, and apt's own state (lists,
# cache, sources, logs, debconf's answers) private too, so that only the
# repositories given here are read and the machine's apt is left as it was.
# Each tampered repository (TAMPERED/packages: one byte of Packages changed;
# TAMPERED/signature: the same, with InRelease's hashes changed to match) is
# refused by apt-get update; from REPO, version A installs, ADD... adds version
# B to it, and apt-get upgrade brings B. Prints "ok - " and "not ok - " lines.
#
#   apt-sandbox.sh WORK REPO TAMPERED VERSION_A VERSION_B ADD...
set -euo pipefail
shopt -s nullglob
work=$1 repo=$2 tampered=$3 version_a=$4 version_b=$5
shift 5
sandbox=$work/apt-sandbox
package=quorvantic-installer

check() {
    local what=$1
    shift
    if "$@"; then echo "ok - $what"; else echo "not ok - $what"; fi
}
equal() { [[ "$1" == "$2" ]] || { printf '   expected: %q\n   actual:   %q\n' "$2" "$1"; return 1; }; }
contains() { [[ "$1" == *"$2"* ]] || { printf '   %s\n   does not contain %q\n' "${1//$'\n'/$'\n'   }" "$2"; return 1; }; }

source "$(dirname "$0")/namespace.sh"
private_system "$sandbox"
for folder in /var/lib/apt /var/cache/apt /etc/apt/sources.list.d /var/log; do
    mount -t tmpfs -o mode=755 tmpfs "$folder"
done
mkdir -p /var/lib/apt/lists/partial /var/cache/apt/archives/partial /var/log/apt
if [[ -d /var/cache/debconf ]]; then
    cp -a /var/cache/debconf "$sandbox/debconf"
    mount --bind "$sandbox/debconf" /var/cache/debconf
fi
# The machine's own sources are not read, whatever this apt's defaults.
apt_with() {
    local tool=$1
    shift
    DEBIAN_FRONTEND=noninteractive "$tool" -o Dir::Etc::SourceList=/dev/null \
        -o Dir::Etc::SourceParts=/etc/apt/sources.list.d "$@" 2>&1
}
apt_get() { apt_with apt-get "$@"; }
sources() {
    rm -f /etc/apt/sources.list.d/* && rm -rf /var/lib/apt/lists/* && mkdir -p /var/lib/apt/lists/partial
    echo "deb [signed-by=$repo/quorvantic-archive-keyring.gpg] file:$1 stable main" \
        >/etc/apt/sources.list.d/quorvantic.list
}
# apt knows VERSION from the repository.
offers() {
    local said
    said=$(apt_with apt-cache madison "$package")
    grep -q -E "^ *$package \| +${1//./\\.} \| file:$repo stable/main " <<<"$said" || { sed 's/^/   /' <<<"$said"; return 1; }
}
installed() { dpkg-query -W -f='${db:Status-Abbrev}${Version}' "$package" 2>/dev/null || true; }
# An update that lists the repository: no error, no warning (a signature
# problem is one or the other).
clean_update() {
    local said status=0
    said=$(apt_get update) || status=$?
    if ((status != 0)) || grep -q -E '^(W|E|Err):' <<<"$said"; then
        echo "   exit status $status"
        sed 's/^/   /' <<<"$said"
        return 1
    fi
}

# ---------------------------------------------------- tampered repositories
# The machine keeps its trust in the real key; each copy was changed after
# signing.
for case in "packages:Hash Sum mismatch" "signature:The following signatures were invalid"; do
    kind=${case%%:*} reason=${case#*:} status=0
    sources "$tampered/$kind"
    said=$(apt_get update) || status=$?
    check "tampered $kind: apt-get update fails" test "$status" -ne 0
    check "tampered $kind: apt-get update says why" contains "$said" "$reason"
    status=0
    apt_get install -y --simulate "$package" >/dev/null || status=$?
    check "tampered $kind: nothing of it can be installed" test "$status" -ne 0
done

# ------------------------------------------------------ install and upgrade
sources "$repo"
check "apt-get update: the signed repository, no error or warning" clean_update
status=0
apt_get install -y "$package" >"$sandbox/install.out" || status=$?
check "apt-get install: installs $package" equal "$status" 0
((status == 0)) || sed 's/^/   /' "$sandbox/install.out"
check "apt-get install: version $version_a is installed" equal "$(installed)" "ii $version_a"

status=0
"$@" >"$sandbox/add.out" 2>&1 || status=$?
check "version $version_b: added to the repository" equal "$status" 0
((status == 0)) || tail -n 20 "$sandbox/add.out" | sed 's/^/   /'
check "apt-get update: the repository with both versions, no error or warning" clean_update
check "the repository still offers version $version_a" offers "$version_a"
status=0
apt_get upgrade -y >"$sandbox/upgrade.out" || status=$?
check "apt-get upgrade: exit status 0" equal "$status" 0
((status == 0)) || sed 's/^/   /' "$sandbox/upgrade.out"
check "apt-get upgrade: version $version_b is installed" equal "$(installed)" "ii $version_b"
check "the upgraded command runs" equal "$(/usr/bin/quorvantic-installer --version 2>/dev/null)" \
    "quorvantic-installer $version_b"
