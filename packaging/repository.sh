# The signed apt repository that --repo adds the Debian package to; sourced by
# scripts/package before it checks its input. The folder holds only what this
# file makes:
#
#   pool/main/q/quorvantic-installer/quorvantic-installer_VERSION_ARCH.deb
#   dists/stable/{Release,InRelease,Release.gpg}
#   dists/stable/main/binary-ARCH/Packages(.gz)
#   quorvantic-archive-keyring.gpg and .asc, the public key that signs it
#
# Every version added stays in the pool, so the indexes list them all and apt
# upgrades to the newest.

repository_suite=stable repository_component=main
repository_label=quorvantic-installer
repository_pool=pool/main/q/quorvantic-installer
repository_keyring=quorvantic-archive-keyring
# The signing key's fingerprint as the probe signature named it, the pool
# file this run added (removed again unless the indexes list it) and the
# temporary files it has made in the repository.
repository_signer="" repository_added="" repository_temporary=()

not_a_repository() {
    refuse "$repo: $1: this is not a repository made by scripts/package (give an empty or new folder)"
}

# A folder that another user may change (owned by them, or writable by group
# or others without the sticky bit) is one this script must not act in:
# names in it could be swapped for links under it.
check_folder_trusted() {
    local folder=$1 owner mode
    read -r owner mode < <(stat -c '%u %a' -- "$folder")
    [[ $owner == "$(id -u)" || $owner == 0 ]] ||
        refuse "$folder: the folder belongs to another user (uid $owner): the repository cannot be kept in it"
    if (((8#$mode & 8#022) != 0 && (8#$mode & 8#1000) == 0)); then
        refuse "$folder: others can change the folder (mode $mode): the repository cannot be kept in it"
    fi
}

# The folder (or the nearest one above it that exists) can be written by the
# caller, and it and every folder above it are the caller's or root's and
# cannot be changed by others.
check_repository_place() {
    local nearest=$repo
    [[ ! -L $repo ]] || refuse "$repo: the repository folder is a symbolic link"
    while [[ ! -e $nearest ]]; do nearest=$(dirname "$nearest"); done
    if [[ -e $repo ]]; then
        [[ -d $repo ]] || refuse "$repo: the repository is not a folder"
    else
        [[ -d $nearest ]] || refuse "$repo: the repository cannot be made: $nearest is not a folder"
    fi
    [[ -w $nearest && -x $nearest ]] ||
        refuse "$nearest: the folder cannot be written by $(id -un): the repository cannot be kept there"
    local folder=$nearest
    while :; do
        check_folder_trusted "$folder"
        [[ $folder != / ]] || break
        folder=$(dirname "$folder")
    done
}

# What an existing repository folder holds is this script's: its top level,
# the pool's files, the Release's label; no link, special file, file of
# another user or folder others can write.
check_repository_contents() {
    local entry bad
    for entry in "$repo"/* "$repo"/.[!.]* "$repo"/..?*; do
        case ${entry##*/} in
        dists | pool | "$repository_keyring.gpg" | "$repository_keyring.asc") ;;
        *) not_a_repository "it holds \"${entry##*/}\"" ;;
        esac
    done
    bad=$(find "$repo" -mindepth 1 ! -type f ! -type d -printf '%P\n' -quit)
    [[ -z $bad ]] || not_a_repository "\"$bad\" is a link or a special file"
    bad=$(find "$repo" \( ! -user "$(id -u)" -o -type d -perm /022 \) -printf '%P\n' -quit)
    [[ -z $bad ]] || refuse "$repo/$bad: it belongs to another user or others can write it: the repository cannot be changed"
    bad=$(find "$repo" -mindepth 1 -path "$repo/pool/*" -type f ! -path "$repo/$repository_pool/quorvantic-installer_*.deb" \
        ! -path "$repo/$repository_pool/quorvantic-installer_*.deb.new" -printf '%P\n' -quit)
    [[ -z $bad ]] || not_a_repository "the pool holds \"$bad\""
    # Without a Release, dists may hold only what a first run stopped short
    # of renaming into place.
    if [[ -f $repo/dists/$repository_suite/Release ]]; then
        grep -qx "Label: $repository_label" "$repo/dists/$repository_suite/Release" ||
            not_a_repository "dists/$repository_suite/Release is not this installer's"
    elif [[ -e $repo/dists ]]; then
        bad=$(find "$repo/dists" ! -type d ! -name '*.new' -printf '%P\n' -quit)
        [[ -z $bad ]] || not_a_repository "dists holds \"$bad\" but no $repository_suite/Release"
    fi
    local deb
    deb=quorvantic-installer_${version}_$(dpkg --print-architecture).deb
    [[ ! -e $repo/$repository_pool/$deb ]] ||
        refuse "$repo: the repository already holds version $version ($repository_pool/$deb): give another --version"
}

# The key signs a probe text: it exists and can sign now, and its
# fingerprint is the one exported. A repository that has a keyring already
# is signed only with a key in it, or every machine using it would refuse it.
check_signing_key() {
    local chosen=() said fingerprint
    [[ -n $sign_key ]] && chosen=(--local-user "$sign_key")
    said=$(printf 'probe\n' | gpg --batch --yes "${chosen[@]}" --status-fd 1 --output /dev/null --clearsign 2>&1 || true)
    fingerprint=$(sed -n 's/^\[GNUPG:\] SIG_CREATED .* \([0-9A-F]\{40,\}\)$/\1/p' <<<"$said")
    if [[ -z $fingerprint ]]; then
        said=$(grep -v -e '^\[GNUPG:\]' -e 'keybox .* created' <<<"$said" | sed 's/^gpg: //' | head -n 3 |
            paste -s -d ';' | sed 's/;/; /g')
        if [[ -n $sign_key ]]; then
            refuse "--sign-key \"$sign_key\": no key of ${GNUPGHOME:-~/.gnupg} can sign with that name: $said"
        fi
        refuse "--repo: ${GNUPGHOME:-~/.gnupg} has no key that can sign the repository (give --sign-key, or make one with gpg --quick-gen-key): $said"
    fi
    local keyring=$repo/$repository_keyring.gpg
    if [[ -f $keyring ]] && ! gpg --batch --show-keys --with-colons "$keyring" 2>/dev/null |
        grep -q "^fpr:\{9\}$fingerprint:"; then
        refuse "$keyring: the repository is signed by another key than ${sign_key:-the default key} ($fingerprint): machines that use it would refuse it"
    fi
    repository_signer=$fingerprint
}

check_repository() {
    [[ -n $repo ]] || { [[ -z $sign_key ]] || refuse "--sign-key: it signs the repository: give --repo too"; return 0; }
    $system || refuse "--repo: the repository holds the Debian package: give --system too"
    local tool
    for tool in apt-ftparchive gpg gpgv; do
        command -v "$tool" >/dev/null ||
            refuse "--repo: $tool makes the repository and is not installed (scripts/deps installs apt-utils and gnupg)"
    done
    [[ ! -L ${repo%/} ]] || refuse "$repo: the repository folder is a symbolic link"
    repo=$(realpath -m -- "$repo")
    [[ $output != "$repo" && $output != "$repo"/* ]] ||
        refuse "--output \"$output\": the output cannot be the repository folder or inside it"
    check_repository_place
    [[ ! -d $repo ]] || check_repository_contents
    check_signing_key
}

# ------------------------------------------------------------- the indexes
repository_hashes=(-o APT::FTPArchive::MD5=false -o APT::FTPArchive::SHA1=false)

# TREE/main/binary-ARCH/Packages(.gz) for each architecture in the pool, and
# TREE/Release with their hashes.
make_indexes() {
    local tree=$1 arch arches=()
    mapfile -t arches < <(printf '%s\n' "$repo/$repository_pool"/quorvantic-installer_*.deb |
        sed 's/.*_\([^_]*\)\.deb$/\1/' | sort -u)
    for arch in "${arches[@]}"; do
        mkdir -p "$tree/$repository_component/binary-$arch"
        (cd "$repo" && apt-ftparchive -q=2 "${repository_hashes[@]}" --arch "$arch" packages pool/"$repository_component") \
            >"$tree/$repository_component/binary-$arch/Packages" 2>"$stage/apt-ftparchive.log" ||
            { cat "$stage/apt-ftparchive.log" >&2; fail "apt-ftparchive could not list the packages of $repo"; }
        gzip -9 -n -k "$tree/$repository_component/binary-$arch/Packages"
    done
    local field fields=(Origin=Quorvantic "Label=$repository_label" "Suite=$repository_suite"
        "Codename=$repository_suite" "Architectures=${arches[*]}" "Components=$repository_component"
        "Description=The plug-in installer's Debian packages")
    local release=()
    for field in "${fields[@]}"; do release+=(-o "APT::FTPArchive::Release::$field"); done
    apt-ftparchive -q=2 "${repository_hashes[@]}" "${release[@]}" release "$tree" >"$stage/Release" 2>"$stage/apt-ftparchive.log" ||
        { cat "$stage/apt-ftparchive.log" >&2; fail "apt-ftparchive could not make the Release file"; }
    mv "$stage/Release" "$tree/Release"
}

# InRelease and Release.gpg, and the public key beside the dists folder. The
# signature is checked against that key alone before anything is published.
sign_release() {
    local tree=$1 keyring=$2 signer=${sign_key:-$repository_signer} log=$stage/gpg.log
    gpg --batch --yes --local-user "$signer" --clearsign --output "$tree/InRelease" "$tree/Release" 2>"$log" &&
        gpg --batch --yes --local-user "$signer" --armor --detach-sign --output "$tree/Release.gpg" "$tree/Release" 2>>"$log" ||
        { cat "$log" >&2; fail "gpg could not sign the repository's Release file with ${sign_key:-the default key}"; }
    gpg --batch --export --export-options export-minimal "$repository_signer" >"$keyring.gpg" 2>>"$log" &&
        gpg --batch --armor --export --export-options export-minimal "$repository_signer" >"$keyring.asc" 2>>"$log" &&
        [[ -s $keyring.gpg ]] || { cat "$log" >&2; fail "gpg could not export the public key $repository_signer"; }
    mkdir -m 700 "$stage/gpgv"
    gpgv --homedir "$stage/gpgv" --keyring "$keyring.gpg" "$tree/InRelease" >>"$log" 2>&1 ||
        { cat "$log" >&2; fail "the signed InRelease does not verify with the exported key $repository_signer"; }
}

# The new files go beside their places under temporary names, and are then
# renamed over the old ones, InRelease last: a run that fails before the
# renames leaves the repository as it was.
publish_indexes() {
    local from=$1 file files=("$repository_keyring.gpg" "$repository_keyring.asc")
    local dist=dists/$repository_suite
    for file in "$from/$dist/$repository_component"/binary-*/Packages*; do files+=("${file#"$from"/}"); done
    files+=("$dist/Release" "$dist/Release.gpg" "$dist/InRelease")
    for file in "${files[@]}"; do
        mkdir -p -- "$repo/$(dirname "$file")"
        repository_temporary+=("$repo/$file.new")
        install -m 644 -- "$from/$file" "$repo/$file.new" || fail "$repo/$file.new: the file cannot be written"
    done
    # From here the new indexes may list the package: it stays.
    repository_added=""
    for file in "${files[@]}"; do
        mv -f -- "$repo/$file.new" "$repo/$file" || fail "$repo/$file: the file cannot be replaced"
    done
    repository_temporary=()
}

# Adds the .deb to the pool and remakes the indexes, holding a lock on the
# folder so that two runs do not interleave.
add_to_repository() {
    local deb=$1 from=$stage/repository lock
    umask 022
    mkdir -p -- "$repo" || fail "$repo: the folder cannot be made"
    exec {lock}<"$repo"
    if ! flock -n "$lock"; then
        say "waiting for another run that is adding to $repo"
        flock -w 600 "$lock" || fail "$repo: another run has held the repository for 10 minutes"
    fi
    # The build took a while: the folder is looked at again, under the lock.
    check_repository_place
    check_repository_contents
    say "adding $(basename "$deb") to the repository in $repo"
    local pooled=$repo/$repository_pool/$(basename "$deb")
    mkdir -p -- "$repo/$repository_pool"
    repository_temporary+=("$pooled.new")
    install -m 644 -- "$deb" "$pooled.new" || fail "$pooled.new: the file cannot be written"
    repository_added=$pooled
    mv -- "$pooled.new" "$pooled"
    mkdir -p "$from"
    make_indexes "$from/dists/$repository_suite"
    sign_release "$from/dists/$repository_suite" "$from/$repository_keyring"
    publish_indexes "$from"
    say "the repository offers: $(printf '%s\n' "$repo/$repository_pool"/*.deb | sed 's/.*_\(.*\)_.*/\1/' | sort -V | tr '\n' ' ')"
}

# On the way out after a failure: the temporary files and the package the
# indexes do not list go.
repository_undo() {
    rm -f -- "${repository_temporary[@]}" ${repository_added:+"$repository_added"}
}
