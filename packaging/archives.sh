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
# - The archive is read in large blocks rather than dd's 1 KiB ones, and
#   the script starts no program where the shell can do the work itself
#   (dirname, pwd, tr, expr, an id -u whose answer is not asked for): each
#   program or subshell is a few milliseconds before the window can show.
# - Its check is the one this archive needs (its size and SHA-256) in four
#   programs rather than twenty, with openssl's digest, twice as fast as
#   sha256sum, where it is there: each was a wait before the window could
#   show.
# - Unpacking into its own temporary folder, it takes the checksum on the
#   other core while it unpacks, rather than in a pass before, and runs
#   nothing unpacked until the checksum has held: a mismatch removes the
#   folder and ends the run with the check's message and status. Into a
#   folder the user names (--target, --keep), it checks first, as before.
# - An archive tar cannot unpack ends the run with status 1, the folder
#   removed and "Unable to decompress", not as if it had been stopped: tar's
#   failure no longer sends the script TERM. --list of such an archive
#   fails likewise. A failed check or unpacking into the .run's own folder
#   leaves nothing of it behind.
makeself_header() {
    local original=/usr/share/makeself/makeself-header.sh patched
    patched=$(sed -e 's/^quiet="n"$/quiet="y"/' \
        -e 's/^\( *eval \\$finish; exit\) 15$/\1 \\${1:-15}/' \
        -e "s/^\\( *\\)trap MS_cleanup 1 2 3 15\$/\\1trap 'MS_cleanup 129' 1; trap 'MS_cleanup 130' 2; trap 'MS_cleanup 131' 3; trap 'MS_cleanup 143' 15/" \
        -e 's/Extraction failed\.\("\)\{0,1\} >&2; kill -15 \\\$\$; }$/Extraction failed.\1 >\&2; return 1; }/' \
        -e 's/^\([[:space:]]*MS_dd "\\\$0" \\\$offset \\\$s | MS_Decompress | UnTAR t\)$/\1 || exit 1/' \
        -e 's/| wc -c | tr -d " "\\`/| wc -c\\`/' \
        -e 's/offset=\\`expr \\$offset + \\$s\\`/offset=\\$((\\$offset + \\$s))/' \
        -e 's/^location="\\`pwd\\`"$/location="\\$PWD"/' \
        -e 's/^if test x"$NEED_ROOT" = xy -a \\`id -u\\` -ne 0; then$/if test x"$NEED_ROOT" = xy \&\& test \\`id -u\\` -ne 0; then/' \
        "$original" | QUORVANTIC_UNPACKER_CHECK=$(unpacker_check) QUORVANTIC_MS_DD=$(archive_part) \
        QUORVANTIC_CHECK_BESIDE=$(check_beside) QUORVANTIC_MS_CHECKED=$(checked) \
        QUORVANTIC_MS_CHECK=$(archive_check) QUORVANTIC_UNPACK_FAILED=$(unpack_failed) \
        QUORVANTIC_ARCHIVE_DIR=$(archive_dir) awk '
            /^MS_dd\(\)$/ { print; print ENVIRON["QUORVANTIC_MS_DD"]; skipping = 1; next }
            /^MS_Check\(\)$/ { print; print ENVIRON["QUORVANTIC_MS_CHECK"]; skipping = 1; next }
            skipping { skipping = $0 != "}"; next }
            /^if test x"\$NEED_ROOT" = xy/ { print ENVIRON["QUORVANTIC_UNPACKER_CHECK"] }
            /^MS_Decompress\(\)$/ { print ENVIRON["QUORVANTIC_MS_CHECKED"] }
            /^ARCHIVE_DIR=\\`dirname "\\\$0"\\`$/ { print ENVIRON["QUORVANTIC_ARCHIVE_DIR"]; next }
            /^if test x"\\\$SETUP_NOCHECK" != x1; then$/ { print "check_pid=" }
            /^    MS_Check "\\\$0"$/ { print ENVIRON["QUORVANTIC_CHECK_BESIDE"]; next }
            /^\t\techo "Unable to decompress \\\$0" >&2$/ {
                print "\t\tMS_Checked"; print; print ENVIRON["QUORVANTIC_UNPACK_FAILED"]; next
            }
            /^cd "\\\$tmpdir"$/ { print "MS_Checked" }
            { print }')
    [[ $(grep -c -e '^quiet="y"$' -e 'exit \\${1:-15}$' -e "trap 'MS_cleanup 130' 2;" \
        -e '^if ! command -v zstd' -e '^    tail -c +' -e '^    fsize=\\`wc -c <"\\$1"\\`$' \
        -e '^        sum=\\`tail -c +\\$((offset + 1)) "\\$1" | openssl' -e '^MS_Checked()$' -e '^check_pid=$' \
        -e '^        MS_Check "\\$0" &$' -e $'^\t\tMS_Checked$' -e '^MS_Checked$' \
        -e 'Extraction failed.*>&2; return 1; }$' -e 'UnTAR t || exit 1$' \
        -e 'test x"\\$keep" = xn && { cd "\\$TMPROOT"; rm -rf "\\$tmpdir"; }$' \
        -e '^\*/\*) ARCHIVE_DIR=' -e 'xy && test \\`id -u\\` -ne 0; then$' \
        -e '^    offset=\\$((\\$offset + \\$s))$' -e '^location="\\$PWD"$' <<<"$patched") == 20 ]] ||
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

# MS_Check FILE [VERBOSE]: the archive's size and SHA-256, which
# scripts/package alone makes (one archive, no MD5, no CRC). An openssl that
# gives no digest (a broken configuration) leaves it to sha256sum.
archive_check() {
    cat <<'CHECK'
{
    if test x"\$quiet" = xn; then
        MS_Printf "Verifying archive integrity..."
    fi
    offset=\`head -n "\$skip" "\$1" | wc -c\`
    fsize=\`wc -c <"\$1"\`
    if test \$totalsize -ne \$((fsize - offset)); then
        echo " Unexpected archive size." >&2
        exit 2
    fi
    sum=
    if command -v openssl >/dev/null 2>&1; then
        sum=\`tail -c +\$((offset + 1)) "\$1" | openssl dgst -sha256 -r 2>/dev/null\`
        sum=\${sum%% *}
    fi
    if test \${#sum} -ne 64; then
        sum=\`tail -c +\$((offset + 1)) "\$1" | sha256sum\`
        sum=\${sum%% *}
    fi
    if test x"\$sum" != x"\$SHA"; then
        echo "Error in SHA256 checksums: \$sum is different from \$SHA" >&2
        exit 2
    fi
    if test x"\$quiet" = xn; then
        echo " All good."
    fi
}
CHECK
}

# The checksum beside the unpacking, where the folder is the .run's own.
check_beside() {
    cat <<'CHECK'
    if test x"\$keep" = xn; then
        MS_Check "\$0" &
        check_pid=\$!
    else
        MS_Check "\$0"
    fi
CHECK
}

# Waits for that checksum; where it failed, nothing unpacked is kept.
checked() {
    cat <<'CHECKED'
MS_Checked()
{
    if test -n "\$check_pid"; then
        wait \$check_pid || {
            status=\$?
            cd "\$TMPROOT"
            rm -rf "\$tmpdir"
            eval \$finish; exit \$status
        }
        check_pid=
    fi
}

CHECKED
}

# The .run's folder, without starting dirname.
archive_dir() {
    cat <<'DIR'
case "\$0" in
*/*) ARCHIVE_DIR=\${0%/*}; ARCHIVE_DIR=\${ARCHIVE_DIR:-/} ;;
*) ARCHIVE_DIR=. ;;
esac
DIR
}

# Where unpacking fails, the folder of its own goes, as on a signal.
unpack_failed() {
    printf '\t\ttest x"\\$keep" = xn && { cd "\\$TMPROOT"; rm -rf "\\$tmpdir"; }\n'
}

# MS_dd FILE OFFSET LENGTH: that part of the file, as makeself's own does.
archive_part() {
    cat <<'PART'
{
    tail -c +\$((\$2 + 1)) "\$1" | head -c \$3
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
