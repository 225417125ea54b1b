#!/usr/bin/env bash
# The signed apt repository of scripts/package --repo, as tests/packaging/run
# starts it: with a throwaway key in a private GNUPGHOME, a bad --repo or key
# is refused with exit 64 before anything is built or written; version A makes
# a repository whose signature gpgv accepts with the exported keyring; a run
# that fails while signing leaves it as it was; then, as root in
# apt-sandbox.sh's namespace, tampered copies are refused by apt, A installs
# with apt-get and version B, added to the repository, is what apt-get upgrade
# brings. The build folder is left at the version it had. Prints "ok - " and
# "not ok - " lines.
#
#   repository.sh WORK BUILD VERSION
set -euo pipefail
shopt -s nullglob
work=$1 build=$2 version_a=$3 version_b=$3.1
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/packaging
demo=$root/bundle/resources
repo=$work/repo arch=$(dpkg --print-architecture)

check() {
    local what=$1
    shift
    if "$@"; then echo "ok - $what"; else echo "not ok - $what"; fi
}
equal() { [[ "$1" == "$2" ]] || { printf '   expected: %q\n   actual:   %q\n' "$2" "$1"; return 1; }; }
contains() { [[ "$1" == *"$2"* ]] || { printf '   %q\n   does not contain %q\n' "$1" "$2"; return 1; }; }

export GNUPGHOME=$work/gnupg
mkdir -m 700 "$GNUPGHOME" "$work/no-keys"
# Making version B reconfigures the build: it goes back to the version it
# had, whatever happens here.
previous=$(sed -n 's/^QUORVANTIC_VERSION:STRING=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
restore() {
    gpgconf --kill gpg-agent
    GNUPGHOME=$work/no-keys gpgconf --kill gpg-agent
    [[ -n $previous && $(sed -n 's/^QUORVANTIC_VERSION:STRING=//p' "$build/CMakeCache.txt") != "$previous" ]] || return 0
    cmake -S "$root" -B "$build" -DQUORVANTIC_VERSION="$previous" >/dev/null &&
        cmake --build "$build" --parallel 2 --target quorvantic-rtf quorvantic-installer quorvantic-script \
            quorvantic-helper quorvantic-window-icon >/dev/null ||
        echo "not ok - the build folder could not be put back to version $previous"
}
trap restore EXIT
for user in 'Quorvantic Test <test@invalid>' 'Other Test <other@invalid>'; do
    gpg --batch --passphrase '' --quick-gen-key "$user" ed25519 sign never 2>/dev/null
done
fingerprint=$(gpg --batch --with-colons --list-secret-keys test@invalid 2>/dev/null | awk -F : '$1 == "fpr" { print $10; exit }')

as=()
package() {
    "${as[@]}" "$root/scripts/package" --build "$build" --products "$demo/Products" --license "$demo/QuorvanticEULA.rtf" "$@"
}
# What a folder holds, with each file's hash: equal before and after means untouched.
state() {
    [[ -e $1 || -L $1 ]] || { echo absent; return; }
    find "$1" -printf '%P %y %m %U\n' | sort
    find "$1" -type f -exec sha256sum {} + | sort
}
keys_in() { gpg --batch --show-keys --with-colons "$1" | awk -F : '$1 == "fpr" { print $10 }' | head -n 1; }

# Refused: exit 64, a message naming the folder or option, nothing written.
refused() {
    local label=$1 folder=$2 message=$3 status=0 before
    shift 3
    before=$(state "$folder")
    package --output "$work/repo-out-$label" "$@" >/dev/null 2>"$work/repo-$label.err" || status=$?
    check "$label: exit status 64" equal "$status" 64
    check "$label: the message says why" contains "$(cat "$work/repo-$label.err")" "$message"
    check "$label: nothing written" equal "$(state "$folder")$(state "$work/repo-out-$label")" "${before}absent"
}

refused repo-without-system "$work/r1" "--repo: the repository holds the Debian package: give --system too" \
    --repo "$work/r1"
refused sign-key-without-repo "$work/r0" "--sign-key: it signs the repository: give --repo too" \
    --system --sign-key test@invalid
mkdir "$work/r1b"
refused output-inside-repo "$work/r1b" "the output cannot be the repository folder or inside it" \
    --system --repo "$work/r1b" --output "$work/r1b/out"
refused unknown-key "$work/r2" "--sign-key \"nobody@invalid\": no key of $GNUPGHOME can sign with that name" \
    --system --repo "$work/r2" --sign-key nobody@invalid
GNUPGHOME=$work/no-keys refused no-key "$work/r3" "--repo: $work/no-keys has no key that can sign the repository" \
    --system --repo "$work/r3"
mkdir "$work/r4" && echo "my notes" >"$work/r4/notes.txt"
refused foreign-folder "$work/r4" "$work/r4: it holds \"notes.txt\": this is not a repository made by scripts/package" \
    --system --repo "$work/r4"
mkdir "$work/r5" && ln -s r5 "$work/r5-link"
refused link "$work/r5" "$work/r5-link: the repository folder is a symbolic link" --system --repo "$work/r5-link"
if [[ $(id -u) -eq 0 ]]; then
    mkdir "$work/r6" && chown nobody "$work/r6"
    refused other-users-folder "$work/r6" "$work/r6: the folder belongs to another user" --system --repo "$work/r6"
    mkdir "$work/r7"
    as=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/nonexistent)
    refused unwritable-folder "$work/r7" "$work/r7: the folder cannot be written by nobody" \
        --system --repo "$work/r7/repo"
    as=()
fi

# ------------------------------------------------------------- version A
status=0
package --system --repo "$repo" --sign-key test@invalid --output "$work/repo-a" >/dev/null 2>"$work/repo-a.err" ||
    status=$?
check "repository: made with version $version_a" equal "$status" 0
((status == 0)) || { tail -n 20 "$work/repo-a.err" | sed 's/^/   /'; exit 1; }
rm -rf "$work/repo-a"
# The lab of tests/ansible/lab deploys from these: A alone, later A and B.
saved=$build/test-repositories
rm -rf "$saved" && mkdir -p "$saved" && cp -a "$repo" "$saved/a"
keyring=$repo/quorvantic-archive-keyring.gpg
check "repository: gpgv accepts InRelease with the exported keyring" \
    gpgv --keyring "$keyring" "$repo/dists/stable/InRelease" 2>/dev/null
check "repository: gpgv accepts Release.gpg with the exported keyring" \
    gpgv --keyring "$keyring" "$repo/dists/stable/Release.gpg" "$repo/dists/stable/Release" 2>/dev/null
check "repository: the binary and armoured keyrings hold the signing key" \
    equal "$(keys_in "$keyring") $(keys_in "${keyring%.gpg}.asc")" "$fingerprint $fingerprint"
check "repository: the keyring is binary, for signed-by (a packet, not armour)" \
    test "$(head -c 1 "$keyring" | od -An -tu1 | tr -d ' ')" -ge 128

refused version-held "$repo" "$repo: the repository already holds version $version_a" --system --repo "$repo"
refused other-key "$repo" "$keyring: the repository is signed by another key than other@invalid" \
    --system --repo "$repo" --sign-key other@invalid --version "$version_b"

# A run that fails once the package is made (gpg cannot make the detached
# signature) leaves every file of the repository as it was. It also builds
# version B, which the sandbox below then only packages.
mkdir "$work/failing-gpg"
printf '#!/bin/sh\nfor a; do [ "$a" = --detach-sign ] && exit 2; done\nexec %q "$@"\n' "$(command -v gpg)" \
    >"$work/failing-gpg/gpg"
chmod 755 "$work/failing-gpg/gpg"
before=$(state "$repo")
status=0
PATH=$work/failing-gpg:$PATH package --system --repo "$repo" --sign-key test@invalid --version "$version_b" \
    --output "$work/repo-failed" >/dev/null 2>"$work/repo-failed.err" || status=$?
check "failed signing: exit status 1" equal "$status" 1
check "failed signing: says so" contains "$(cat "$work/repo-failed.err")" "gpg could not sign the repository's Release file"
check "failed signing: the repository is as it was" equal "$(state "$repo")" "$before"
rm -rf "$work/repo-failed"

# The copies apt must refuse: version A's Packages says 9 where it said 1;
# the second's InRelease also has the changed files' hashes and sizes.
tamper() {
    local copy=$work/tampered/$1 index=main/binary-$arch file sum hash size
    cp -a "$repo" "$copy"
    sed -i "0,/^Version: $version_a\$/s//Version: 9${version_a#?}/" "$copy/dists/stable/$index/Packages"
    gzip -9 -n -f -k "$copy/dists/stable/$index/Packages"
    [[ $1 == signature ]] || return 0
    for file in Packages Packages.gz; do
        size=$(stat -c %s "$copy/dists/stable/$index/$file")
        for sum in sha256sum sha512sum; do
            hash=$($sum <"$copy/dists/stable/$index/$file" | cut -d ' ' -f 1)
            awk -v path="$index/$file" -v hash="$hash" -v size="$size" '
                NF == 3 && $3 == path && length($1) == length(hash) { print " " hash " " size " " path; next }
                { print }' "$copy/dists/stable/InRelease" >"$copy/InRelease" &&
                mv "$copy/InRelease" "$copy/dists/stable/InRelease"
        done
    done
}
mkdir "$work/tampered"
tamper packages
tamper signature
check "tampered copies differ from the repository" \
    bash -c '! cmp -s "$1/dists/stable/InRelease" "$2/dists/stable/InRelease" &&
             ! cmp -s "$1/dists/stable/main/binary-$4/Packages" "$3/dists/stable/main/binary-$4/Packages"' \
    _ "$repo" "$work/tampered/signature" "$work/tampered/packages" "$arch"

# ------------------------------------------------ apt, in a sandbox, and B
add_b=("$root/scripts/package" --build "$build" --products "$demo/Products" --license "$demo/QuorvanticEULA.rtf"
    --system --repo "$repo" --sign-key test@invalid --version "$version_b" --output "$work/repo-b")
if [[ $(id -u) -ne 0 ]]; then
    echo "skipped: apt installing from the repository needs root (a private mount namespace)"
    status=0
    "${add_b[@]}" >/dev/null 2>&1 || status=$?
    check "version $version_b: added to the repository" equal "$status" 0
elif ! why=$(unshare --mount --pid --fork --mount-proc --propagation private true 2>&1); then
    echo "skipped: no private namespace here: $why"
else
    unshare --mount --pid --fork --mount-proc --propagation private -- \
        bash "$here/apt-sandbox.sh" "$work" "$repo" "$work/tampered" "$version_a" "$version_b" "${add_b[@]}" ||
        echo "not ok - apt sandbox: ends normally"
fi
cp -a "$repo" "$saved/ab"
check "repository: the pool keeps both versions" equal \
    "$(cd "$repo/pool/main/q/quorvantic-installer" && ls | sort)" \
    "$(printf "quorvantic-installer_%s_$arch.deb\n" "$version_a" "$version_b" | sort)"
