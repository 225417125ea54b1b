# What the bundle loads, read with ldd; sourced by tests/packaging/run.

# Every ELF file of the bundle's executables and libraries.
elf_files() {
    find "$1/usr/bin" "$1/usr/lib" "$1/usr/libexec" -type f -print0 |
        while IFS= read -r -d '' file; do
            [[ $(head -c 4 "$file") == $'\x7fELF' ]] && printf '%s\n' "$file"
        done
}

# "FILE: SONAME => PATH" for every library each ELF file resolves, the path
# without links or "..".
resolved_libraries() {
    local file soname path
    while read -r file; do
        while read -r soname path; do
            printf '%s: %s => %s\n' "$file" "$soname" "$(readlink -f "$path")"
        done < <(ldd "$file" | sed -n 's/^[[:space:]]*\([^ ]*\) => \(.*\) (0x[0-9a-f]*)$/\1 \2/p')
    done < <(elf_files "$1")
}

qt_inside_bundle() {
    local outside
    outside=$(resolved_libraries "$1" | grep ' libQt6' | grep -v -F " => $1/usr/lib/" || true)
    [[ -z $outside ]] || { echo "$outside" | head -n 5 | sed 's/^/   /'; return 1; }
}

# What each file names as needed is in the bundle or one of the machine's own.
only_host_outside() {
    local bundle=$1 file needed pattern bad=""
    mapfile -t patterns < <(grep -v -e '^#' -e '^$' "$root/packaging/host-libraries")
    while read -r file; do
        for needed in $(patchelf --print-needed "$file"); do
            [[ -f $bundle/usr/lib/$needed ]] && continue
            for pattern in "${patterns[@]}"; do
                # shellcheck disable=SC2053 # a glob on purpose
                [[ $needed == $pattern ]] && continue 2
            done
            bad+="   $file needs $needed"$'\n'
        done
    done < <(elf_files "$bundle")
    [[ -z $bad ]] || { printf '%s' "$bad" | head -n 5; return 1; }
}

helper_outside_bundle() {
    local helper=$1/usr/libexec/quorvantic-installer/quorvantic-helper
    [[ -z $(patchelf --print-rpath "$helper") ]] && ! ldd "$helper" | grep -q -F "$1/"
}

# Starts the bundle's window under a virtual display (whatever platform the
# caller's tests run on) and reads its icon property; the window is found by
# its class.
window_has_icon() {
    local bundle=$1
    env -u QT_QPA_PLATFORM xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
        "$1/AppRun" >/dev/null 2>&1 &
        app=$!
        trap "kill $app 2>/dev/null" EXIT
        for _ in $(seq 100); do
            for id in $(xwininfo -root -tree 2>/dev/null | grep "\"quorvantic-installer\"" | awk "{ print \$1 }"); do
                xprop -id "$id" _NET_WM_ICON 2>/dev/null | grep -q "_NET_WM_ICON(CARDINAL) = " && exit 0
            done
            sleep 0.1
        done
        echo "   no window of class quorvantic-installer with _NET_WM_ICON appeared"
        exit 1' _ "$bundle"
}
