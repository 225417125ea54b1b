#!/usr/bin/env bash
# Installs for real, end to end, in a sandbox: the wizard's side runs as a test
# user and elevates through the real pkexec, polkitd and privileged helper. The
# sandbox is a private mount and process namespace in which /opt,
# /usr/local/share, /var/opt, /run/dbus and /etc/polkit-1/rules.d are fresh tmpfs, the
# test users exist only in bind-mounted copies of /etc/passwd and /etc/group,
# and a system bus of its own runs; the host is left as it was.
#
#   e2e.sh BUNDLE DRIVER CANCEL_AGENT PRESET_TEMPLATE
#
# Exits 77 (skipped) with the reason when the sandbox cannot be made here.
set -euo pipefail
shopt -u patsub_replacement 2>/dev/null || true
shopt -s nullglob

skip() {
    echo "SKIPPED: $*"
    exit 77
}

if [[ "${1:-}" != --inside ]]; then
    [[ $# -eq 4 ]] || { echo "usage: $0 BUNDLE DRIVER CANCEL_AGENT PRESET_TEMPLATE" >&2; exit 2; }
    [[ $(id -u) -eq 0 ]] || skip "the end-to-end sandbox needs root (it mounts file systems in a private namespace)"
    for tool in unshare setpriv pkexec dbus-daemon mount; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
    [[ -x /usr/lib/polkit-1/polkitd ]] || skip "polkitd is not installed (package polkitd)"
    [[ -d /etc/polkit-1/rules.d ]] || skip "/etc/polkit-1/rules.d is missing (package polkitd)"
    [[ -u $(command -v pkexec) ]] || skip "pkexec is not setuid root here"
    why=$(unshare --mount --pid --fork --mount-proc --propagation private true 2>&1) ||
        skip "unshare cannot make a private namespace here: $why"
    sandbox=$(mktemp -d /tmp/quorvantic-e2e.XXXXXX)
    trap 'rmdir "$sandbox" 2>/dev/null || true' EXIT
    status=0
    # The harness must not be the namespace's first process: pkexec refuses a
    # caller whose parent is process 1.
    unshare --mount --pid --fork --mount-proc --propagation private -- \
        bash -c '"$@"; exit $?' init bash "$0" --inside "$sandbox" "$@" || status=$?
    exit "$status"
fi

# ---------------------------------------------------------------- the sandbox
sandbox=$2
bundle=$3
driver=$4
agent=$5
presetTemplate=$6

mount -t tmpfs -o mode=755 tmpfs "$sandbox"
out=$sandbox/out
mkdir -p "$out" "$sandbox/home" "$sandbox/bin"
chmod 1777 "$out"

# /opt, /usr/local/share and /var/opt (the receipts): fresh and empty for every case.
fresh_system() {
    local size=${1:-}
    for folder in /opt /usr/local/share /var/opt; do
        if [[ $(findmnt -n -o FSTYPE --mountpoint "$folder" 2>/dev/null) == tmpfs ]] &&
            [[ -e $sandbox/.mounted$folder ]]; then
            umount "$folder"
        fi
        mount -t tmpfs -o mode=755 tmpfs "$folder"
        mkdir -p "$sandbox/.mounted$folder"
    done
    if [[ -n $size ]]; then
        umount /opt
        mount -t tmpfs -o "mode=755,size=$size" tmpfs /opt
    fi
}
fresh_system

if [[ -d /run/dbus ]]; then
    mount -t tmpfs -o mode=755 tmpfs /run/dbus
else
    mount -t tmpfs -o mode=755 tmpfs /run
    mkdir -p /run/dbus
fi
mount -t tmpfs -o mode=755 tmpfs /etc/polkit-1/rules.d
mount -t tmpfs -o mode=700 tmpfs /root

# Test users, known only inside the namespace.
source "$(dirname "$0")/../packaging/namespace.sh"
add_test_users "$sandbox" 61000 qve2e-allow qve2e-deny qve2e-cancel qve2e-ask
allowUser=qve2e-allow
denyUser=qve2e-deny
cancelUser=qve2e-cancel
# Left to the installer's own action's defaults: no rule answers for this one.
askUser=qve2e-ask

# The installer's own polkit action, naming the sandbox's helper, beside the
# system's actions; a bundle copied elsewhere falls back to pkexec's own action.
mkdir -p "$sandbox/actions"
cp -a /usr/share/polkit-1/actions/. "$sandbox/actions/"
mount --bind "$sandbox/actions" /usr/share/polkit-1/actions
sed "s#\(exec.path\">\)[^<]*<#\1$sandbox/bundle/usr/libexec/quorvantic-installer/quorvantic-helper<#" \
    "$bundle/usr/share/polkit-1/actions/com.quorvantic.installer.helper.policy" \
    >/usr/share/polkit-1/actions/com.quorvantic.installer.helper.policy

cat >/etc/polkit-1/rules.d/10-quorvantic-e2e.rules <<RULES
polkit.addRule(function(action, subject) {
    if (action.id != "org.freedesktop.policykit.exec" &&
        action.id != "com.quorvantic.installer.helper")
        return polkit.Result.NOT_HANDLED;
    if (subject.user == "$allowUser")
        return polkit.Result.YES;
    if (subject.user == "$denyUser")
        return polkit.Result.NO;
    if (subject.user == "$cancelUser")
        return polkit.Result.AUTH_ADMIN;
    return polkit.Result.NOT_HANDLED;
});
RULES
chmod 644 /etc/polkit-1/rules.d/10-quorvantic-e2e.rules

rm -f /run/dbus/pid
dbus-daemon --system --fork

# A fresh home (and so a fresh photo-host folder) for a user.
fresh_home() {
    local user=$1 home=$sandbox/home/$1
    rm -rf "$home"
    mkdir -p "$home"
    chown "$user:$user" "$home"
    chmod 700 "$home"
}

# Runs a command as a test user, with the environment a desktop session gives,
# and the sanitizers' options when the build has them.
as_user() {
    local user=$1 home=$sandbox/home/$1
    shift
    local sanitizers=() option
    for option in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
        [[ -n ${!option:-} ]] && sanitizers+=("$option=${!option}")
    done
    (cd "$home" && setpriv --reuid="$user" --regid="$user" --init-groups \
        env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin \
        XDG_DATA_HOME="$home/.local/share" QT_QPA_PLATFORM=offscreen "${sanitizers[@]}" "$@")
}

failures=0
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok - $what"
    else
        echo "not ok - $what"
        failures=$((failures + 1))
    fi
}
equal() { [[ "$1" == "$2" ]] || { printf '   expected: %q\n   actual:   %q\n' "$2" "$1"; return 1; }; }

# The sanitizer build's leak suppressions, where the test users can read them.
if [[ ${LSAN_OPTIONS:-} =~ suppressions=\'([^\']*)\' ]]; then
    install -m 644 "${BASH_REMATCH[1]}" "$sandbox/lsan.supp"
    LSAN_OPTIONS=${LSAN_OPTIONS/"${BASH_REMATCH[0]}"/suppressions=$sandbox/lsan.supp}
fi

cp "$agent" "$sandbox/bin/cancel-agent"
chmod 755 "$sandbox/bin/cancel-agent"

# ------------------------------------------------- the sandbox works at all
for role in allow deny cancel ask; do fresh_home "qve2e-$role"; done
# pkexec asks about its parent, so each runs below a shell of the test user.
rc=0; as_user "$allowUser" sh -c 'pkexec /bin/true; exit $?' 2>"$out/pkexec-allow.err" || rc=$?
check "sandbox: pkexec runs a command for the allowed user" equal "$rc" 0
rc=0; as_user "$denyUser" sh -c 'pkexec /bin/true; exit $?' 2>"$out/pkexec-deny.err" || rc=$?
check "sandbox: pkexec refuses the denied user (127)" equal "$rc" 127
check "sandbox: the refusal comes from the rule" grep -q "Not authorized" "$out/pkexec-deny.err"
rc=0
as_user "$cancelUser" bash -c '
    "$1" $$ >"$2" &
    agent=$!
    for _ in $(seq 200); do grep -q registered "$2" && break; sleep 0.05; done
    status=0
    pkexec /bin/true || status=$?
    kill "$agent"
    exit "$status"' _ "$sandbox/bin/cancel-agent" "$out/agent.out" 2>"$out/pkexec-cancel.err" || rc=$?
check "sandbox: an agent answering Cancel dismisses pkexec (126)" equal "$rc" 126
root=$(as_user "$allowUser" sh -c 'pkexec /usr/bin/id -u; exit $?' 2>/dev/null || true)
check "sandbox: pkexec runs the command as root" equal "$root" 0
if ((failures > 0)); then
    for f in "$out"/pkexec-*.err; do echo "--- $f"; cat "$f"; done
    echo "The sandbox itself does not work; no install was tried."
    exit 1
fi

helper=$bundle/usr/libexec/quorvantic-installer/quorvantic-helper
if [[ ! -x $helper || ! -x $driver ]]; then
    echo "The privileged helper is not built ($helper); the sandbox works, the install was not tried."
    echo "(driver: $driver)"
    exit 77
fi

# ------------------------------------------------------------ the installs
# The bundle as it ships, readable by the users, with the driver beside the
# installer's own executable so the helper is found the same way.
cp -a "$bundle" "$sandbox/bundle"
cp "$driver" "$sandbox/bundle/usr/bin/quorvantic-e2e-driver"
chown -R root:root "$sandbox/bundle"
chmod -R go+rX,go-w "$sandbox/bundle"
demo=$sandbox/bundle/usr/share/quorvantic-installer

APP=/opt/Quorvantic/
SUPP=/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/
VIDEO=/usr/local/share/Adobe/Common/Plug-ins/7.0/MediaCore/Quorvantic/
lrOf() { echo "$sandbox/home/$1/.local/share/Adobe/Lightroom/"; }

# A copy of the bundle, named NAME, carrying the Products of the resources
# folder RESOURCES: the helper serves only the bundle it belongs to, so every
# other set of products is installed from a bundle of its own. Prints its root.
bundle_with() {
    local name=$1 resources=$2 root=$sandbox/bundles/$1
    rm -rf "$root"
    mkdir -p "$sandbox/bundles"
    cp -a "$sandbox/bundle" "$root"
    rm -rf "$root/usr/share/quorvantic-installer/Products"
    cp -a "$resources/Products" "$root/usr/share/quorvantic-installer/Products"
    echo "$root"
}
resourcesOf() { echo "$1/usr/share/quorvantic-installer"; }

# Runs the wizard's side of one install: NAME USER [--bundle ROOT] [driver options].
install_as() {
    local name=$1 user=$2 root=$sandbox/bundle
    shift 2
    if [[ ${1:-} == --bundle ]]; then
        root=$2
        shift 2
    fi
    local status=0
    as_user "$user" timeout 120 "$root/usr/bin/quorvantic-e2e-driver" \
        --state "$out/$name.state" "$@" >"$out/$name.stdout" 2>"$out/$name.stderr" || status=$?
    check "$name: the driver ends normally" equal "$status" 0
    ((status == 0)) || sed 's/^/   /' "$out/$name.stderr"
}
statePage() { sed -n 's/^page //p' "$out/$1.state"; }
stateFailed() { sed -n 's/^completedWithErrors //p' "$out/$1.state"; }
stateLog() { sed '1,3d' "$out/$1.state"; }

# What the installer prints for one run: the script once, then the answer.
printed_script_then() {
    local file=$out/$1.stdout answer=$2
    equal "$(grep -c '^SCRIPT -- ' "$file")" 1 &&
        equal "$(head -n 1 "$file")" "SCRIPT -- try" &&
        if [[ -n $answer ]]; then
            equal "$(tail -n 2 "$file")" $'return "Ok"\n'"ERROR VALUE $answer"
        else
            equal "$(tail -n 1 "$file")" 'return "Ok"'
        fi
}

# The expected external-editor preset of an installed element folder.
expected_preset() {
    local installed=$1 version=$2 id
    if [[ $version == 3 ]]; then id=6C2E8F14-A7B3-4D59-9E0C-71F2A4B6C8D3; else id=3D5B7E21-9C4A-4F6E-8A1B-2C3D4E5F6071; fi
    local text
    text=$(cat "$presetTemplate")
    text=${text//"[ID]"/$id}
    text=${text//"[V]"/$version}
    text=${text//"[APP][NAME]"/$installed}
    printf '%s\n' "$text"
}

same_tree() { diff -r --no-dereference "$@" >/dev/null; }
link_is() { [[ -L $1 ]] && equal "$(readlink "$1")" "$2"; }
owned_by() {
    local user=$1 folder=$2
    [[ -d $folder ]] && equal "$(find "$folder" ! -user "$user" -printf '%p\n' | head -n 3)" ""
}

# Checks every element of the resources' products in the installed layout.
check_layout() {
    local label=$1 resources=$2 user=$3 lr
    lr=$(lrOf "$user")
    local product element name installed kind version
    for product in "$resources"/Products/*/ "$resources"/Products/.*/; do
        product=${product%/}
        [[ $(basename "$product") == . || $(basename "$product") == .. || ! -d $product ]] && continue
        for element in "$product"/* "$product"/.*; do
            name=$(basename "$element")
            [[ $name == . || $name == .. || -L $element || ! -d $element ]] && continue
            installed=$APP$name
            # The installed module gains its Path.txt.
            check "$label: $name copied" same_tree -x Path.txt "$element" "$installed"
            check "$label: $name owned by root" owned_by root "$installed"
            # The kind comes from the product's and the element's names only.
            kind=$(basename "$product")/$name
            case $kind in
            *Lightroom*)
                version=4
                [[ $kind == *"Velamorph 3"* ]] && version=3
                check "$label: $name module linked" \
                    link_is "${lr}Modules/velamorph$version.lrdevplugin" "$installed/velamorph$version.lrdevplugin"
                check "$label: $name Path.txt" \
                    equal "$(cat "$installed/velamorph$version.lrdevplugin/Path.txt"; echo x)" "$installed"$'\n'x
                check "$label: $name export presets are the folder's contents" \
                    same_tree "$element/Quorvantic Velamorph $version" "${lr}Export Presets/Quorvantic Velamorph $version"
                check "$label: $name external-editor preset" \
                    cmp -s <(expected_preset "$installed" "$version") \
                    "${lr}External Editor Presets/Quorvantic/Quorvantic Velamorph $version.lrtemplate"
                for folder in "External Editor Presets/Quorvantic" "Export Presets/Quorvantic Velamorph $version" Modules; do
                    check "$label: $folder owned by $user" owned_by "$user" "$lr$folder"
                done
                ;;
            *"Video Plugin"*)
                check "$label: $name linked for video" link_is "$VIDEO$name" "$installed"
                ;;
            *)
                check "$label: $name linked" link_is "$SUPP$name" "$installed"
                ;;
            esac
        done
    done
}

# Every file, link and owner under the install locations, for comparisons.
layout_listing() {
    find /opt /usr/local/share "$(lrOf "$1")" -printf '%p %y %u %m %l\n' | sort
    find /opt /usr/local/share "$(lrOf "$1")" -type f -exec md5sum {} + | sort
}

succeeded() {
    local name=$1
    check "$name: summary page" equal "$(statePage "$name")" summary
    check "$name: completedWithErrors false" equal "$(stateFailed "$name")" false
    check "$name: no log text" equal "$(stateLog "$name")" ""
    check "$name: script printed once, then ERROR VALUE Ok" printed_script_then "$name" Ok
}

# The summary's failure page, with PATTERN in its log.
failure_shown() {
    local name=$1 pattern=$2
    check "$name: summary page" equal "$(statePage "$name")" summary
    check "$name: completedWithErrors true" equal "$(stateFailed "$name")" true
    check "$name: the log holds the message ($pattern)" grep -qF -- "$pattern" <(stateLog "$name")
}

failed_with() {
    local name=$1 pattern=$2
    failure_shown "$name" "$pattern"
    check "$name: the answer printed is the log" \
        equal "$(sed -n '/^ERROR VALUE /,$p' "$out/$name.stdout")" "ERROR VALUE $(stateLog "$name")"
}

# Root's helpers only; the bracket keeps a command line that merely quotes the
# pattern (the attacker's own) from matching it.
helperPattern='[u]sr/libexec/quorvantic-installer/quorvantic-helper'
helpersRunning() { pgrep -u 0 -f "$helperPattern" || true; }
# The first helper to run within 30 s; empty if none did.
first_helper() {
    local helper
    for _ in $(seq 3000); do
        helper=$(helpersRunning | head -n 1)
        [[ -n $helper ]] && break
        sleep 0.01
    done
    echo "$helper"
}

# Runs the installer's command line as root with exactly the given
# environment: NAME BUNDLE-ROOT VARIABLE=value...
unattended_as_root() {
    local name=$1 root=$2 status=0
    shift 2
    (cd / && env -i PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen "$@" \
        "$root/usr/bin/quorvantic-installer" --unattended --accept-license) \
        >"$out/$name.stdout" 2>"$out/$name.stderr" || status=$?
    echo "$status" >"$out/$name.status"
}

# The installer's command line as USER with input that is not a terminal:
# NAME USER ARGUMENTS...; the exit status lands in NAME.status.
cli_as() {
    local name=$1 user=$2 status=0
    shift 2
    as_user "$user" "$installer" "$@" </dev/null >"$out/$name.stdout" 2>"$out/$name.stderr" ||
        status=$?
    echo "$status" >"$out/$name.status"
}
# Every path an install may touch: type, owner, mode, link target, contents.
snapshot() {
    local data=$sandbox/home/$1/.local/share
    # The data folder may not exist, before or after.
    { find /opt /usr/local/share /var/opt "$data" -printf '%p %y %u %m %l\n' 2>/dev/null || true; } | sort
    { find /opt /usr/local/share /var/opt "$data" -type f -exec sha256sum {} + 2>/dev/null || true; } | sort
}
same_snapshot() {
    local now
    now=$(snapshot "$1")
    [[ "$now" == "$2" ]] || { diff <(echo "$2") <(echo "$now") | head -n 20 | sed 's/^/   /'; return 1; }
}
userReceipts() { echo "$sandbox/home/$1/.local/state/quorvantic-installer/receipts"; }

# ---------------------------------------------------------------- the parts
# QUORVANTIC_E2E_ONLY=a,b runs only those parts ("main" is the installs below
# and the three files sourced after them); unset, every part runs.
part() { [[ -z ${QUORVANTIC_E2E_ONLY:-} || ,$QUORVANTIC_E2E_ONLY, == *,$1,* ]]; }

installer=$sandbox/bundle/usr/bin/quorvantic-installer
# Runs NAME USER [AGENT]: the real executable with --unattended --accept-license.
# With an agent, the shell registers it for its own process id and then becomes
# the installer, so pkexec's parent is the process the agent answers for.
unattended_as() {
    local name=$1 user=$2 bundleRoot=${4:-$sandbox/bundle}
    local status=0
    as_user "$user" bash -c '
        if [[ -n $1 ]]; then
            "$1" $$ >"$2" &
            for _ in $(seq 200); do grep -q registered "$2" && break; sleep 0.05; done
        fi
        exec "$3" --unattended --accept-license' _ "${3:-}" "$out/$name.agent" \
        "$bundleRoot/usr/bin/quorvantic-installer" \
        >"$out/$name.stdout" 2>"$out/$name.stderr" || status=$?
    echo "$status" >"$out/$name.status"
}
exitOf() { cat "$out/$1.status"; }

if part main; then
# 1. The demo bundle, then again over it.
fresh_system
fresh_home "$allowUser"
install_as demo "$allowUser"
succeeded demo
check_layout demo "$demo" "$allowUser"
first=$(layout_listing "$allowUser")
install_as again "$allowUser"
succeeded again
check "again: the same layout" equal "$(layout_listing "$allowUser")" "$first"

# 2. Hostile names: nothing a name says may run, and everything lands.
hostile=$sandbox/hostile
mkdir -p "$hostile/Products"
make_element() {
    local folder=$hostile/Products/$1/$2
    mkdir -p "$folder/Contents"
    printf 'content of %s\n' "$2" >"$folder/Contents/file $2.bin"
}
# A command a name carries first goes to the test user's home (a tmpfs of the
# sandbox), so even a failing run leaves the host alone.
plugins='Calmfield "q" $(cd ~qve2e-allow&&touch pwned-product)'
for name in 'quote"d' 'back\slash \c \n' '`cd ~qve2e-allow&&touch pwned-tick`' '$(cd ~qve2e-allow&&touch pwned-dollar)' \
    '-rf leading dash' 'two  spaces ' 'Café Ünïcödé 日本' '.hidden' "it's; cd ~qve2e-allow && touch pwned-semi" \
    $'new\nline'; do
    make_element "$plugins" "$name"
done
make_element 'Calmfield Video $HOME' 'Calmfield Video Plugin 2 $(cd ~qve2e-allow&&touch pwned-video) \t'
lrElement='Velamorph 4 Lightroom "$(cd ~qve2e-allow&&touch pwned-lr)" \c `x`'
make_element 'Velamorph 4 \ $PATH' "$lrElement"
lrFolder=$hostile/Products/'Velamorph 4 \ $PATH'/$lrElement
mkdir -p "$lrFolder/Velamorph4.app" "$lrFolder/velamorph4.lrdevplugin" "$lrFolder/Quorvantic Velamorph 4"
echo preset >"$lrFolder/Quorvantic Velamorph 4/\$(cd ~qve2e-allow&&touch pwned-preset).lrtemplate"
chmod -R go+rX "$hostile"
fresh_system
fresh_home "$allowUser"
hostileBundle=$(bundle_with hostile "$hostile")
install_as hostile "$allowUser" --bundle "$hostileBundle"
succeeded hostile
check_layout hostile "$(resourcesOf "$hostileBundle")" "$allowUser"
check "hostile: no command hidden in a name ran" \
    equal "$(find / /tmp -maxdepth 1 -name 'pwned*'; find "$sandbox" /root /opt /usr/local/share -name 'pwned*')" ""

# A failure found before anything ran: no script printed, no answer.
refused_with() {
    local name=$1 pattern=$2
    failure_shown "$name" "$pattern"
    check "$name: no script printed or answered" \
        equal "$(grep -c -e '^SCRIPT -- ' -e '^ERROR VALUE ' "$out/$name.stdout")" 0
}

# A bundle with nothing to install fails before anything is asked or made.
empty=$sandbox/empty
mkdir -p "$empty/Products/Calmfield 6"
chmod -R go+rX "$empty"
fresh_system
fresh_home "$allowUser"
install_as empty "$allowUser" --bundle "$(bundle_with empty "$empty")" --agent "$sandbox/bin/cancel-agent"
refused_with empty "There is nothing to install: the products hold no element folder."
check "empty: no authentication asked" equal "$(grep -c dismissing "$out/empty.stderr")" 0
check "empty: nothing installed" equal "$(find /opt /usr/local/share -mindepth 1)" ""

# 3. Links planted in the user's folder towards root's folders.
for planted in "External Editor Presets/Quorvantic" Modules; do
    name=planted-${planted%%/*}
    name=${name// /-}
    fresh_system
    fresh_home "$allowUser"
    lr=$(lrOf "$allowUser")
    mkdir -p /opt/victim
    echo "root's" >/opt/victim/keep
    before=$(find /opt/victim -printf '%p %y %u %g %m %s\n' | sort)
    as_user "$allowUser" mkdir -p "$(dirname "$lr$planted")"
    as_user "$allowUser" ln -s /opt/victim "$lr$planted"
    install_as "$name" "$allowUser"
    check "$name: root's folder is untouched" \
        equal "$(find /opt/victim -printf '%p %y %u %g %m %s\n' | sort)" "$before"
    # The user's own write into root's folder is what fails.
    if [[ $planted == Modules ]]; then
        failed_with "$name" "Modules/velamorph4.lrdevplugin': Permission denied"
    else
        failed_with "$name" "Quorvantic Velamorph 4.lrtemplate: Permission denied"
    fi
done

# 4. Authentication outcomes.
fresh_system
fresh_home "$denyUser"
install_as denied "$denyUser"
failed_with denied "authorisation was refused"
check "denied: nothing installed" equal "$(find /opt /usr/local/share -mindepth 1)" ""

fresh_system
fresh_home "$cancelUser"
install_as cancelled "$cancelUser" --agent "$sandbox/bin/cancel-agent"
check "cancelled: the agent was asked for the installer's action" \
    grep -q "dismissing com.quorvantic.installer.helper" "$out/cancelled.stderr"
check "cancelled: the page stays" equal "$(statePage cancelled)" install
check "cancelled: completedWithErrors false" equal "$(stateFailed cancelled)" false
check "cancelled: no log text" equal "$(stateLog cancelled)" ""
check "cancelled: script printed, no answer" printed_script_then cancelled ""
check "cancelled: nothing installed" \
    equal "$(find /opt /usr/local/share "$(lrOf "$cancelUser")" -mindepth 1 2>/dev/null)" ""

# 5. Faults: an element without its module folder, a full file system.
broken=$sandbox/broken
mkdir -p "$broken/Products/Velamorph 4/Velamorph 4 Lightroom/Velamorph4.app" \
    "$broken/Products/Velamorph 4/Velamorph 4 Lightroom/Quorvantic Velamorph 4"
echo preset >"$broken/Products/Velamorph 4/Velamorph 4 Lightroom/Quorvantic Velamorph 4/p.lrtemplate"
chmod -R go+rX "$broken"
fresh_system
fresh_home "$allowUser"
install_as no-module "$allowUser" --bundle "$(bundle_with no-module "$broken")"
failed_with no-module "Path.txt"
lr=$(lrOf "$allowUser")
# The failed run is undone whole, the user's side with the system's.
failed_with no-module "Nothing was changed: the previous state was restored."
check "no-module: the copy before it was undone" test ! -e "${APP}Velamorph 4 Lightroom"
check "no-module: the export presets before it were undone" test ! -e "${lr}Export Presets/Quorvantic Velamorph 4"
check "no-module: the module link before it was undone" test ! -L "${lr}Modules/velamorph4.lrdevplugin"
check "no-module: nothing after it" test ! -e "${lr}External Editor Presets/Quorvantic/Quorvantic Velamorph 4.lrtemplate"

big=$sandbox/big
mkdir -p "$big/Products/Calmfield 6/Calmfield 6 Plugin"
head -c 4194304 /dev/zero >"$big/Products/Calmfield 6/Calmfield 6 Plugin/large.bin"
chmod -R go+rX "$big"
fresh_system 1m
fresh_home "$allowUser"
install_as full "$allowUser" --bundle "$(bundle_with full "$big")"
failed_with full "No space left on device"

# 6. The installer's own command line, unattended, on the same sandbox.

if [[ -x $installer ]]; then
    fresh_system
    fresh_home "$allowUser"
    unattended_as unattended "$allowUser"
    check "unattended: exit status 0" equal "$(exitOf unattended)" 0
    check "unattended: reports completion last" equal "$(tail -n 1 "$out/unattended.stdout")" "Installation completed."
    check "unattended: names the products" grep -qx "Installed: Velamorph 4" "$out/unattended.stdout"
    check "unattended: script printed once, then ERROR VALUE Ok" \
        equal "$(grep -c '^SCRIPT -- ' "$out/unattended.stdout")/$(grep -c '^ERROR VALUE Ok$' "$out/unattended.stdout")" 1/1
    check_layout unattended "$demo" "$allowUser"
    check "unattended: the same layout as the wizard's" equal "$(layout_listing "$allowUser")" "$first"

    # A bundle whose Lightroom element lacks its module folder.
    fresh_system
    fresh_home "$allowUser"
    unattended_as unattended-broken "$allowUser" "" "$(bundle_with broken "$broken")"
    check "unattended-broken: exit status 1" equal "$(exitOf unattended-broken)" 1
    check "unattended-broken: the shell's message on standard error" \
        grep -q "^Installation failed: .*Path.txt" "$out/unattended-broken.stderr"

    fresh_system
    fresh_home "$cancelUser"
    unattended_as unattended-cancel "$cancelUser" "$sandbox/bin/cancel-agent"
    check "unattended-cancel: exit status 2" equal "$(exitOf unattended-cancel)" 2
    check "unattended-cancel: says so" grep -qx "Installation canceled." "$out/unattended-cancel.stderr"
    check "unattended-cancel: nothing installed" \
        equal "$(find /opt /usr/local/share "$(lrOf "$cancelUser")" -mindepth 1 2>/dev/null)" ""
else
    check "the installer executable is built ($installer)" false
fi

# What root will and will not do for a user.
source "$(dirname "$0")/root-boundaries.sh"
# No failure reads as success, and root never acts in a user's folder.
source "$(dirname "$0")/honest-outcomes.sh"
# Receipts: what an install did is listed, verified and undone exactly.
source "$(dirname "$0")/receipts.sh"
fi

# Root and the user's state folder: links, owners, search-only folders.
part state-folder && source "$(dirname "$0")/state-folder.sh"
# The receipt store: full or read-only, killed writes, shared names, refusals.
part receipt-store && source "$(dirname "$0")/receipt-store.sh"
# What a copy into the system folders may carry: modes, leases.
part copies && source "$(dirname "$0")/copies.sh"
# The command line and the script tool: honest refusals and stops.
part commands && source "$(dirname "$0")/commands.sh"
# Runs as transactions: killed, stopped or failing midway, nothing changes.
part transactions && source "$(dirname "$0")/transactions.sh"

echo "$failures failed"
# What each run left, for reading the log (ctest shows it on failure or with -V).
for state in "$out"/*.state; do
    name=$(basename "$state" .state)
    echo "--- $name: state"
    cat "$state"
    echo
    echo "--- $name: standard error"
    cat "$out/$name.stderr"
done
((failures == 0))
