# Lays out the self-contained bundle folder; sourced by scripts/package, which
# sets build, tools, packaging, products, license, icon, name and version.
#
#   NAME/AppRun, NAME/com.quorvantic.installer.{desktop,png}
#   NAME/usr/bin            the installer, the script tool and qt.conf
#   NAME/usr/lib            Qt and every library a base system lacks; qt6/plugins
#   NAME/usr/libexec/quorvantic-installer/quorvantic-helper
#   NAME/usr/share          the resources, metainfo, icon, man page, completion

bundle_binary=$build/Quorvantic\ Plugin\ Installer/usr
qt_plugins=$(/usr/lib/qt6/bin/qtpaths6 --query QT_INSTALL_PLUGINS)
qt_translations=$(/usr/lib/qt6/bin/qtpaths6 --query QT_INSTALL_TRANSLATIONS)
mapfile -t host_patterns < <(grep -v -e '^#' -e '^$' "$packaging/host-libraries")
declare -A host_needed=()

is_host_library() {
    local pattern
    for pattern in "${host_patterns[@]}"; do
        # shellcheck disable=SC2053 # the pattern is a glob on purpose
        [[ $1 == $pattern ]] && return 0
    done
    return 1
}

# Copies into LIB every library OBJECT needs that is not the machine's own,
# and theirs in turn, each with a run path to its neighbours. The machine's
# own are noted, with where they were found, for the package's dependencies.
copy_needed() {
    local object=$1 lib=$2 needed path
    local -A found=()
    while read -r needed _ path _; do
        [[ -n $path && $path == /* ]] && found[$needed]=$path
    done < <(ldd "$object")
    for needed in $(patchelf --print-needed "$object"); do
        if is_host_library "$needed"; then
            [[ $object == */platformthemes/libqgtk3.so ]] || host_needed[$needed]=${found[$needed]:-}
            continue
        fi
        [[ -e $lib/$needed ]] && continue
        [[ -n ${found[$needed]:-} ]] || fail "$object needs $needed, which this machine lacks"
        install -m 644 "$(readlink -f "${found[$needed]}")" "$lib/$needed"
        patchelf --set-rpath '$ORIGIN' "$lib/$needed"
        copy_needed "$lib/$needed" "$lib"
    done
}

copy_executables() {
    local usr=$1 program
    install -D -m 755 -t "$usr/bin" "$bundle_binary/bin/quorvantic-installer" \
        "$bundle_binary/bin/quorvantic-script"
    install -m 644 "$packaging/qt.conf" "$usr/bin/qt.conf"
    # The helper runs as root: it gets no run path, so it loads only the
    # system's C and C++ libraries, never one from the bundle's lib folder.
    install -D -m 755 "$bundle_binary/libexec/quorvantic-installer/quorvantic-helper" \
        "$usr/libexec/quorvantic-installer/quorvantic-helper"
    strip --strip-unneeded "$usr/bin/quorvantic-installer" "$usr/bin/quorvantic-script" \
        "$usr/libexec/quorvantic-installer/quorvantic-helper"
    mkdir -p "$usr/lib"
    for program in "$usr"/bin/quorvantic-*; do
        patchelf --set-rpath '$ORIGIN/../lib' "$program"
        copy_needed "$program" "$usr/lib"
    done
    copy_needed "$usr/libexec/quorvantic-installer/quorvantic-helper" "$usr/lib"
}

copy_plugins() {
    local usr=$1 plugin
    while read -r plugin; do
        [[ -f $qt_plugins/$plugin ]] || fail "the Qt plug-in $qt_plugins/$plugin is missing (scripts/deps installs it)"
        install -D -m 644 "$qt_plugins/$plugin" "$usr/lib/qt6/plugins/$plugin"
        patchelf --set-rpath '$ORIGIN/../../..' "$usr/lib/qt6/plugins/$plugin"
        copy_needed "$usr/lib/qt6/plugins/$plugin" "$usr/lib"
    done < <(grep -v -e '^#' -e '^$' "$packaging/qt-plugins")
}

# Qt's own strings (its dialogs' buttons) in each language the installer
# speaks; the installer's own are built into it.
copy_qt_translations() {
    local usr=$1 ours language qm
    for ours in "$root"/translations/quorvantic_*.ts; do
        language=$(basename "$ours" .ts)
        language=${language#quorvantic_}
        for qm in "$qt_translations"/qtbase_"$language".qm; do
            install -D -m 644 "$qm" "$usr/share/qt6/translations/$(basename "$qm")"
        done
    done
}

copy_resources() {
    local share=$1/share/quorvantic-installer doc
    mkdir -p "$share"
    cp -R --preserve=mode,timestamps,links --no-dereference "$products" "$share/Products"
    install -m 644 "$license" "$share/QuorvanticEULA.rtf"
    install -m 644 "$logo" "$share/Logo.png"
    chmod -R u+rwX,go+rX,go-w "$share"
    # The help the installer's Help menu opens.
    for doc in "$bundle_binary"/share/doc/quorvantic-installer/*; do
        install -D -m 644 "$doc" "$1/share/doc/quorvantic-installer/$(basename "$doc")"
    done
}

# TEXT as the replacement of a sed command delimited by "|": the maker's
# name may hold "&", "\" or "|".
replacement() { sed 's/[&|\\]/\\&/g' <<<"$1"; }
xml_escaped() { sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g' <<<"$1"; }

# The desktop file for EXEC, written to FILE.
desktop_file() {
    sed -e "s|@NAME@|$(replacement "$name")|" -e "s|@EXEC@|$1|" \
        "$packaging/com.quorvantic.installer.desktop.in" >"$2"
}

describe_for_desktop() {
    local bundle=$1 usr=$1/usr escaped
    desktop_file quorvantic-installer "$bundle/com.quorvantic.installer.desktop"
    install -m 644 "$icon" "$bundle/com.quorvantic.installer.png"
    install -D -m 644 "$icon" "$usr/share/icons/hicolor/256x256/apps/com.quorvantic.installer.png"
    escaped=$(xml_escaped "$name")
    mkdir -p "$usr/share/metainfo"
    sed -e "s|@NAME@|$(replacement "$escaped")|" -e "s|@VERSION@|$version|" -e "s|@DATE@|$(date -u +%F)|" \
        "$packaging/com.quorvantic.installer.metainfo.xml.in" \
        >"$usr/share/metainfo/com.quorvantic.installer.metainfo.xml"
}

# The man page from the installer's own --help and --version, and the bash
# completion from the options --help lists.
describe_for_terminal() {
    local usr=$1 installer=$1/bin/quorvantic-installer options
    mkdir -p "$usr/share/man/man1" "$usr/share/bash-completion/completions" "$stage/path"
    # Started by name from PATH, as a user would: its usage line then names the
    # command, and help2man, which runs it through a shell, meets no space.
    ln -sf "$installer" "$stage/path/quorvantic-installer"
    PATH=$stage/path:$PATH help2man --no-info --name "install the plug-ins this installer carries" \
        --include "$packaging/quorvantic-installer.h2m" quorvantic-installer |
        gzip -9 -n >"$usr/share/man/man1/quorvantic-installer.1.gz"
    options=$("$installer" --help | grep -o -E -- '(^|[ ,])--[a-z][a-z-]*' | tr -d ' ,' | sort -u | tr '\n' ' ')
    [[ -n $options ]] || fail "the installer's --help lists no option"
    sed "s|@OPTIONS@|${options% }|" "$packaging/quorvantic-installer.bash-completion.in" \
        >"$usr/share/bash-completion/completions/quorvantic-installer"
}

make_bundle() {
    local bundle=$1
    say "laying out the bundle"
    mkdir -p "$bundle/usr"
    install -m 755 "$packaging/AppRun" "$bundle/AppRun"
    copy_executables "$bundle/usr"
    copy_plugins "$bundle/usr"
    copy_qt_translations "$bundle/usr"
    copy_resources "$bundle/usr"
    describe_for_desktop "$bundle"
    describe_for_terminal "$bundle/usr"
}
