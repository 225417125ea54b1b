#!/usr/bin/env bash
# The packaged installer installing for real, as root's tests/packaging/run
# starts it: inside a private mount and process namespace where /usr is an
# overlay whose writes land in a tmpfs, /opt, /var/opt, /usr/local/share and
# the bus are fresh, the package database is a bind-mounted copy (taken under
# dpkg's locks: namespace.sh), every libQt6 of the system is /dev/null, and
# the test users exist only in copies of passwd and group. Prints "ok - " and
# "not ok - " lines; the host is left as it was.
#
#   sandbox.sh WORK RUN DEB VERSION
set -euo pipefail
shopt -s nullglob
work=$1 run=$2 deb=$3 version=$4
sandbox=$work/sandbox
here=$(dirname "$0")

check() {
    local what=$1
    shift
    if "$@"; then echo "ok - $what"; else echo "not ok - $what"; fi
}
equal() { [[ "$1" == "$2" ]] || { printf '   expected: %q\n   actual:   %q\n' "$2" "$1"; return 1; }; }

source "$here/namespace.sh"
private_system "$sandbox"
mount -t tmpfs -o mode=755 tmpfs /etc/polkit-1/rules.d
if [[ -d /run/dbus ]]; then mount -t tmpfs -o mode=755 tmpfs /run/dbus; else
    mount -t tmpfs -o mode=755 tmpfs /run && mkdir -p /run/dbus
fi

# Qt of the system, gone: what still runs carries its own.
for library in /usr/lib/*/libQt6* /lib/*/libQt6*; do
    [[ -f $library && ! -L $library ]] && mount --bind /dev/null "$library"
done
status=0
/usr/lib/qt6/bin/qtpaths6 --version >/dev/null 2>&1 || status=$?
check "sandbox: a program of the system's Qt no longer starts" equal "$status" 127

# Two users: one may run only the portable bundle's helper through pkexec's
# general action, the other only the packaged helper through its own action.
add_test_users "$sandbox" 62000 qvpkg-portable qvpkg-system
for user in qvpkg-portable qvpkg-system; do
    install -d -o "$user" -g "$user" -m 700 "$sandbox/home/$user" "$sandbox/home/$user/tmp" \
        "$sandbox/home/$user/runtime"
done
helperInTemp="^$sandbox/home/qvpkg-portable/tmp/selfgz[0-9]+/usr/libexec/quorvantic-installer/quorvantic-helper\$"
cat >/etc/polkit-1/rules.d/10-quorvantic-packaging.rules <<RULES
polkit.addRule(function(action, subject) {
    if (subject.user == "qvpkg-portable" && action.id == "org.freedesktop.policykit.exec" &&
        /${helperInTemp//\//\\/}/.test(action.lookup("program")))
        return polkit.Result.YES;
    if (subject.user == "qvpkg-system" && action.id == "com.quorvantic.installer.helper")
        return polkit.Result.YES;
    return polkit.Result.NOT_HANDLED;
});
RULES
chmod 644 /etc/polkit-1/rules.d/10-quorvantic-packaging.rules
rm -f /run/dbus/pid
dbus-daemon --system --fork

# Runs a command as USER with a desktop session's environment; pkexec asks
# about its parent, so the command runs below a shell of the user.
as_user() {
    local user=$1 home=$sandbox/home/$1
    shift
    (cd "$home" && setpriv --reuid="$user" --regid="$user" --init-groups \
        env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin \
        TMPDIR="$home/tmp" XDG_RUNTIME_DIR="$home/runtime" XDG_DATA_HOME="$home/.local/share" bash -c '"$@"; exit $?' _ "$@")
}
installed_demo() {
    [[ -d "/opt/Quorvantic/Calmfield 6 Plugin" && -d "/opt/Quorvantic/Velamorph 4 Lightroom" &&
        -L "/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/Calmfield 6 Plugin" ]]
}
fresh_system() {
    local folder
    for folder in /opt /var/opt /usr/local/share; do
        umount "$folder"
        mount -t tmpfs -o mode=755 tmpfs "$folder"
    done
}

# ------------------------------------------------------------- the .deb
package=quorvantic-installer
prefix=/opt/quorvantic-installer
info=$(dpkg-deb --info "$deb")
contents=$(dpkg-deb --contents "$deb")
check "deb: named and versioned" equal "$(dpkg-deb --field "$deb" Package Version | tr '\n' ' ')" \
    "Package: $package Version: $version "
check "deb: depends on pkexec" grep -q "^ Depends: .*pkexec" <<<"$info"
for path in ./usr/share/polkit-1/actions/com.quorvantic.installer.helper.policy \
    .$prefix/usr/libexec/quorvantic-installer/quorvantic-helper \
    ./usr/share/applications/com.quorvantic.installer.desktop \
    ./usr/share/man/man1/quorvantic-installer.1.gz; do
    check "deb: holds $path" grep -q " $path\$" <<<"$contents"
done
check "deb: everything is root's" equal "$(awk '$2 != "root/root"' <<<"$contents")" ""
status=0
dpkg --log="$sandbox/dpkg.log" -i "$deb" >"$sandbox/dpkg-i.out" 2>&1 || status=$?
check "deb: dpkg -i installs it" equal "$status" 0
((status == 0)) || sed 's/^/   /' "$sandbox/dpkg-i.out"
policy=/usr/share/polkit-1/actions/com.quorvantic.installer.helper.policy
check "deb: the action names the installed helper" grep -qF \
    ">$prefix/usr/libexec/quorvantic-installer/quorvantic-helper</annotate>" "$policy"
check "deb: the desktop file starts the installed copy" \
    grep -qx "Exec=$prefix/usr/bin/quorvantic-installer" /usr/share/applications/com.quorvantic.installer.desktop
check "deb: the command is on PATH" equal "$(as_user qvpkg-system quorvantic-installer --version)" \
    "quorvantic-installer $version"
status=0
as_user qvpkg-system quorvantic-installer --unattended --accept-license \
    >"$sandbox/deb.out" 2>"$sandbox/deb.err" || status=$?
check "deb: the installed copy installs through its own action" equal "$status" 0
((status == 0)) || sed 's/^/   /' "$sandbox/deb.err"
check "deb: the demo products are installed" installed_demo
status=0
dpkg --log="$sandbox/dpkg.log" -r "$package" >"$sandbox/dpkg-r.out" 2>&1 || status=$?
check "deb: dpkg -r removes it" equal "$status" 0
check "deb: no file of it is left" equal \
    "$(ls -d "$prefix" /usr/bin/quorvantic-installer "$policy" /usr/share/applications/com.quorvantic.installer.desktop 2>/dev/null)" ""
not_installed() {
    local status
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ -z $status || $status == *" not-installed" ]] || { echo "   $status"; return 1; }
}
check "deb: the database no longer lists it" not_installed

# ------------------------------------------------------------- the .run
fresh_system
install -m 755 "$run" "$sandbox/installer.run"
portableTemp=$sandbox/home/qvpkg-portable/tmp
check "run: --version from the bundled libraries" \
    equal "$(as_user qvpkg-portable "$sandbox/installer.run" -- --version)" "quorvantic-installer $version"
script=$(as_user qvpkg-portable "$sandbox/installer.run" -- --print-script)
check "run: --print-script prints only the script" equal "$(head -n 1 <<<"$script")" "try"
check "run: the script copies from the private temporary folder" \
    grep -qE "cp .*$portableTemp/selfgz[0-9]+/usr/share/quorvantic-installer/Products/Calmfield 6/" <<<"$script"
status=0
as_user qvpkg-portable "$sandbox/installer.run" -- --unattended --accept-license \
    >"$sandbox/run.out" 2>"$sandbox/run.err" || status=$?
check "run: installs through pkexec's general action" equal "$status" 0
((status == 0)) || sed 's/^/   /' "$sandbox/run.err"
check "run: says so last" equal "$(tail -n 1 "$sandbox/run.out")" "Installation completed."
check "run: the demo products are installed" installed_demo
check "run: the temporary folders are removed" equal "$(ls -A "$portableTemp")" ""
