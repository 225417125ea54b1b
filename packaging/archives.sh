# The two files a user is given, made from the bundle folder; sourced by
# scripts/package after packaging/bundle.sh.

# makeself's script for the .run, with these changes:
# - It is quiet unless asked otherwise, so what the installer prints
#   (--print-script, --license) is all that reaches standard output.
# - A Ctrl-C or TERM, which the installer answers by stopping after the step
#   under way (exit 130 or 143), ends the .run with that status too, after the
#   folder is removed, rather than with 15.
# - A machine without zstd, which unpacks the archive, is told so before
#   anything is unpacked, rather than seeing a pipe fail.
# - The archive is read in large blocks rather than dd's 1 KiB ones, its size
#   is taken without reading it, and sha256sum is preferred to the Perl
#   shasum: each was a wait before the window could show.
makeself_header() {
    local original=/usr/share/makeself/makeself-header.sh patched
    patched=$(sed -e 's/^quiet="n"$/quiet="y"/' \
        -e 's/^\( *eval \\$finish; exit\) 15$/\1 \\${1:-15}/' \
        -e "s/^\\( *\\)trap MS_cleanup 1 2 3 15\$/\\1trap 'MS_cleanup 129' 1; trap 'MS_cleanup 130' 2; trap 'MS_cleanup 131' 3; trap 'MS_cleanup 143' 15/" \
        -e 's/^\( *fsize=\\`\)cat "\\$1" | wc -c/\1wc -c <"\\$1"/' \
        -e '/^ *SHA_PATH=/s/which shasum || command -v shasum || type shasum/which sha256sum || command -v sha256sum || type sha256sum/' \
        -e '/^ *test -x "\\$SHA_PATH" ||/s/which sha256sum || command -v sha256sum || type sha256sum/which shasum || command -v shasum || type shasum/' \
        "$original" | QUORVANTIC_UNPACKER_CHECK=$(unpacker_check) QUORVANTIC_MS_DD=$(archive_part) awk '
            /^MS_dd\(\)$/ { print; print ENVIRON["QUORVANTIC_MS_DD"]; skipping = 1; next }
            skipping { skipping = $0 != "}"; next }
            /^if test x"\$NEED_ROOT" = xy/ { print ENVIRON["QUORVANTIC_UNPACKER_CHECK"] }
            { print }')
    [[ $(grep -c -e '^quiet="y"$' -e 'exit \\${1:-15}$' -e "trap 'MS_cleanup 130' 2;" \
        -e '^if ! command -v zstd' -e '^    tail -c +' -e 'fsize=\\`wc -c <"\\$1"' \
        -e 'SHA_PATH=\\`exec <&- 2>&-; which sha256sum' <<<"$patched") == 7 ]] ||
        fail "makeself's script ($original) has changed: the changes above to it need a look"
    printf '%s\n' "$patched"
}

unpacker_check() {
    cat <<'CHECK'
if ! command -v zstd >/dev/null 2>&1; then
    echo "This installer needs the zstd program to unpack itself. Install it (on Debian and Ubuntu: sudo apt install zstd) and run it again." >&2
    exit 1
fi
CHECK
}

# MS_dd FILE OFFSET LENGTH: that part of the file, as makeself's own does.
archive_part() {
    cat <<'PART'
{
    tail -c +\`expr \$2 + 1\` "\$1" | head -c \$3
}
PART
}

# NAME-VERSION.run: makeself's archive, which unpacks into a private
# temporary folder, runs AppRun there with the arguments after "--" and
# removes the folder afterwards, keeping the installer's exit status. One
# checksum, SHA-256, is checked before unpacking: each further one is another
# pass over the file before the window can show.
make_run() {
    local bundle=$1 run=$2 label="$name $version" header=$stage/makeself-header.sh
    say "making $(basename "$run")"
    # makeself writes the label into its script between double quotes, as is.
    label=${label//[\"\`\$\\]/}
    sed -e "s|@LABEL@|$(replacement "$label")|" -e "s|@FILE@|$(replacement "$(basename "$run")")|g" \
        "$packaging/run-help.in" >"$stage/run-help"
    makeself_header >"$header"
    # So is the folder's name: it is archived under the file's plain name.
    local archived=$stage/archive/${slug:?}
    mkdir -p "$stage/archive"
    mv "$bundle" "$archived"
    # zstd unpacks in about half the time gzip takes; it uses every core to pack.
    ZSTD_NBTHREADS=0 makeself --header "$header" --help-header "$stage/run-help" --zstd --nox11 --noprogress \
        --nomd5 --nocrc --sha256 --tar-format gnu --tar-quietly --packaging-date "$(date -u +%F)" \
        "$archived" "$run" "$label" ./AppRun >"$stage/makeself.log" 2>&1 ||
        { cat "$stage/makeself.log" >&2; fail "makeself could not make $run"; }
    mv "$archived" "$bundle"
}

# The packages that hold the machine's own libraries the bundle links.
package_dependencies() {
    local soname path owner candidates packages=()
    for soname in "${!host_needed[@]}"; do
        path=${host_needed[$soname]}
        [[ -n $path ]] || continue
        # dpkg knows a library by the path it was unpacked to, which on a
        # merged /usr may not be the one the loader found.
        candidates=("$path" "$(readlink -f "$path")" "/usr${path#/usr}" "${path#/usr}")
        owner=""
        for path in "${candidates[@]}"; do
            owner=$(dpkg-query -S "$path" 2>/dev/null | head -n 1 | cut -d : -f 1) && [[ -n $owner ]] && break
        done
        [[ -n $owner ]] || fail "no package holds $soname (${host_needed[$soname]})"
        packages+=("$owner")
    done
    printf '%s\n' "${packages[@]}" | sort -u | tr '\n' ',' | sed 's/,/, /g'
    echo "pkexec | policykit-1"
}

# The Debian package: the bundle in /opt/quorvantic-installer, owned by root,
# and the system's entries for it: the polkit action naming the installed
# helper, the desktop file, icon, metainfo, man page, completion and a command
# on PATH.
make_deb() {
    local bundle=$1 deb=$2 tree=$stage/deb prefix=/opt/quorvantic-installer
    local helper=$prefix/usr/libexec/quorvantic-installer/quorvantic-helper
    say "making $(basename "$deb")"
    mkdir -p "$tree/DEBIAN" "$tree/opt" "$tree/usr/bin" "$tree/usr/share/applications" \
        "$tree/usr/share/polkit-1/actions" "$tree/usr/share/doc/quorvantic-installer"
    cp -a "$bundle" "$tree$prefix"
    ln -s "$prefix/usr/bin/quorvantic-installer" "$tree/usr/bin/quorvantic-installer"
    local shared
    for shared in icons metainfo man bash-completion; do
        cp -a "$tree$prefix/usr/share/$shared" "$tree/usr/share/"
    done
    desktop_file "$prefix/usr/bin/quorvantic-installer" \
        "$tree/usr/share/applications/com.quorvantic.installer.desktop"
    sed "s|@QUORVANTIC_HELPER_PATH@|$helper|" "$root/bundle/polkit/com.quorvantic.installer.helper.policy.in" \
        >"$tree/usr/share/polkit-1/actions/com.quorvantic.installer.helper.policy"
    printf '%s\n\n%s\n' "$name $version, packaged by scripts/package." \
        "The licence agreement is $prefix/usr/share/quorvantic-installer/QuorvanticEULA.rtf." \
        >"$tree/usr/share/doc/quorvantic-installer/copyright"
    chmod -R u+rwX,go+rX,go-w "$tree"
    local depends
    depends=$(package_dependencies)
    sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$(dpkg --print-architecture)|" \
        -e "s|@SIZE@|$(du -sk --exclude=DEBIAN "$tree" | cut -f 1)|" \
        -e "s#@DEPENDS@#$depends#" -e "s|@NAME@|$(replacement "$name")|" \
        "$packaging/debian-control.in" >"$tree/DEBIAN/control"
    dpkg-deb --root-owner-group -Zxz --build "$tree" "$deb" >"$stage/dpkg-deb.log" 2>&1 ||
        { cat "$stage/dpkg-deb.log" >&2; fail "dpkg-deb could not make $(basename "$deb")"; }
}
