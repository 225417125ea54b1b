# Root and the user's state folder (the run's log, the user receipts): sourced by
# e2e.sh inside its sandbox, with its functions at hand. Root runs with a test
# user's environment, as an administrator's sudo -E or a deployment tool would.

home=$sandbox/home/$allowUser
lr=$(lrOf "$allowUser")
preset="${lr}External Editor Presets/Quorvantic/Quorvantic Velamorph 4.lrtemplate"
stateOf() { echo "$home/.local/state/quorvantic-installer"; }

# Root's run of the demo bundle with the user's HOME and data folder, and
# whatever more is given: NAME VARIABLE=value...
root_for_user() {
    local name=$1
    shift
    unattended_as_root "$name" "$sandbox/bundle" HOME="$home" USER="$allowUser" \
        XDG_DATA_HOME="$home/.local/share" "$@"
}
# The log a run named on standard error.
logOf() { sed -n 's/^Log: //p' "$out/$1.stderr" | tail -n 1; }
rootOwnedIn() { find "$1" -user root -printf '%p\n' 2>/dev/null | head -n 5; }

# A root folder holding 60 old files named as the installer names its logs.
root_logs() {
    local folder=$1 n
    rm -rf "$folder"
    mkdir -p "$folder"
    for n in $(seq 60); do
        echo "root's $n" >"$folder/install-2026-01-01T00-00-00.000-$n.log"
    done
    touch -d 2026-01-01T00:00:00 "$folder"/*.log
}
listing() { find "$1" -printf '%p %y %u %m %T@ %s\n' | sort; }

# ---- 1. Links the user made in the state folder's path lead root nowhere.
for linked in quorvantic-installer state; do
    name=state-link-$linked
    fresh_system
    fresh_home "$allowUser"
    victim=/var/opt/victim-$linked
    if [[ $linked == state ]]; then
        root_logs "$victim/quorvantic-installer"
        link=$home/.local/state
    else
        root_logs "$victim"
        link=$(stateOf)
    fi
    as_user "$allowUser" mkdir -p "$(dirname "$link")"
    as_user "$allowUser" ln -s "$victim" "$link"
    before=$(listing "$victim")
    root_for_user "$name"
    check "$name: none of root's 60 files deleted, nothing made there" \
        equal "$(listing "$victim")" "$before"
    check "$name: the link is left as it was" link_is "$link" "$victim"
    check "$name: no log through the link" equal "$(logOf "$name")" ""
    check "$name: the refusal names the link" grep -q "refusing to follow a link" "$out/$name.stderr"
    check "$name: nothing root-owned in the user's home" equal "$(rootOwnedIn "$home")" ""
    # Receipts that cannot be kept refuse the run before anything is made.
    check "$name: the run fails (1)" equal "$(exitOf "$name")" 1
    check "$name: ... saying the receipts cannot be kept" \
        grep -q "^Installation failed: The receipts cannot be kept in .*Nothing was installed\.$" "$out/$name.stderr"
    check "$name: ... and nothing was installed" test ! -e /opt/Quorvantic
done

# Root keeping its own state (HOME=/root) still keeps the user receipts in the
# user's state folder, as the user: a link planted there leads root nowhere.
name=state-link-root-home
fresh_system
fresh_home "$allowUser"
victim=/var/opt/victim-root-home
root_logs "$victim/quorvantic-installer/receipts"
echo "root's receipt" >"$victim/quorvantic-installer/receipts/Velamorph 4.receipt"
as_user "$allowUser" mkdir -p "$home/.local"
as_user "$allowUser" ln -s "$victim" "$home/.local/state"
before=$(listing "$victim")
unattended_as_root "$name" "$sandbox/bundle" HOME=/root XDG_DATA_HOME="$home/.local/share"
check "$name: nothing of root's changed or made through the link" equal "$(listing "$victim")" "$before"
check "$name: the link is left as it was" link_is "$home/.local/state" "$victim"
check "$name: nothing root-owned in the user's home" equal "$(rootOwnedIn "$home")" ""
check "$name: the run fails (1)" equal "$(exitOf "$name")" 1
check "$name: ... saying the receipts cannot be kept" \
    grep -q "^Installation failed: The receipts cannot be kept in .*Nothing was installed\.$" "$out/$name.stderr"
check "$name: ... and nothing was installed" test ! -e /opt/Quorvantic

# ---- 2. Root creates nothing in a user's home, and the user's later runs keep
# their log and receipt.
for missing in .local/state .local; do
    name=state-missing-${missing//[.\/]/}
    fresh_system
    fresh_home "$allowUser"
    [[ $missing == .local/state ]] && as_user "$allowUser" mkdir -p "$home/.local"
    root_for_user "$name"
    check "$name: the root run succeeds" equal "$(exitOf "$name")" 0
    check "$name: nothing root-owned in the user's home" equal "$(rootOwnedIn "$home")" ""
    check "$name: its log is the user's, in the user's state folder" \
        equal "$(stat -c %U "$(logOf "$name")" 2>&1; dirname "$(logOf "$name")")" "$allowUser"$'\n'"$(stateOf)"
    check "$name: the user receipt is the user's" \
        equal "$(stat -c '%U' "$(userReceipts "$allowUser")/Velamorph 4.receipt" 2>&1)" "$allowUser"
    check "$name: the state folder is 0700" equal "$(stat -c %a "$(stateOf)")" 700
    touch "$out/$name.marker"
    unattended_as "$name-user" "$allowUser"
    check "$name: the user's later install succeeds" equal "$(exitOf "$name-user")" 0
    check "$name: ... keeps its log" test -s "$(logOf "$name-user")"
    check "$name: ... and its receipt" test "$(userReceipts "$allowUser")/Velamorph 4.receipt" -nt "$out/$name.marker"
    check "$name: ... without a warning" equal "$(grep -c 'could not be' "$out/$name-user.stderr")" 0
done

# A root-owned state folder the environment names outside root's home is not
# root's state: root keeps its log in its own home instead.
# Root's own state starts empty: receipts of root's own data folder, from runs
# before, would have this install remove what they list there.
rootState=/root/.local/state/quorvantic-installer
rm -rf "$rootState"
fresh_system
fresh_home "$allowUser"
mkdir -p /var/opt/elsewhere
root_for_user state-root-elsewhere XDG_STATE_HOME=/var/opt/elsewhere
check "state-root-elsewhere: the run succeeds" equal "$(exitOf state-root-elsewhere)" 0
check "state-root-elsewhere: the log is in root's own state folder" \
    equal "$(dirname "$(logOf state-root-elsewhere)")" "$rootState"
check "state-root-elsewhere: nothing made in the folder named" equal "$(find /var/opt/elsewhere -mindepth 1)" ""
rm -rf "$rootState"

# ---- 3. A folder on the way the user may pass but not list.
for who in user root; do
    name=state-search-only-$who
    fresh_system
    fresh_home "$allowUser"
    gate=$sandbox/gate
    rm -rf "$gate"
    mkdir -m 711 "$gate"
    mkdir -m 700 "$gate/state"
    chown "$allowUser:$allowUser" "$gate/state"
    if [[ $who == user ]]; then
        as_user "$allowUser" env XDG_STATE_HOME="$gate/state" "$installer" --unattended --accept-license \
            >"$out/$name.stdout" 2>"$out/$name.stderr" && echo 0 >"$out/$name.status" || echo $? >"$out/$name.status"
    else
        root_for_user "$name" XDG_STATE_HOME="$gate/state"
    fi
    check "$name: the install succeeds" equal "$(exitOf "$name")" 0
    check "$name: the user receipt is kept" \
        test -f "$gate/state/quorvantic-installer/receipts/Velamorph 4.receipt"
    check "$name: nothing root-owned in the user's state" equal "$(rootOwnedIn "$gate/state")" ""
    as_user "$allowUser" env XDG_STATE_HOME="$gate/state" "$installer" --uninstall --yes </dev/null \
        >"$out/$name-uninstall.stdout" 2>"$out/$name-uninstall.stderr" || true
    check "$name: --uninstall removes the photo-host preset" test ! -e "$preset"
done

# ---- 4. A user receipt folder that cannot be written refuses the run before it starts.
for who in user root window; do
    name=state-unwritable-$who
    fresh_system
    fresh_home "$allowUser"
    unattended_as "$name-first" "$allowUser"
    as_user "$allowUser" chmod 500 "$(userReceipts "$allowUser")"
    case $who in
    user) unattended_as "$name" "$allowUser" ;;
    root) root_for_user "$name" ;;
    window) install_as "$name" "$allowUser" ;;
    esac
    # Found before anything runs: the earlier install stands as it was.
    if [[ $who == window ]]; then
        failure_shown "$name" "Nothing was installed."
        check "$name: the summary says the receipts cannot be kept" \
            grep -q "^The receipts cannot be kept in .*Permission denied" <(stateLog "$name")
    else
        check "$name: the run fails (1)" equal "$(exitOf "$name")" 1
        check "$name: ... saying the receipts cannot be kept" \
            grep -q "^Installation failed: The receipts cannot be kept in .*Permission denied.*Nothing was installed\.$" "$out/$name.stderr"
    fi
    check "$name: the earlier install's preset stays" test -f "$preset"
    check "$name: the user's folder is still the user's" equal "$(rootOwnedIn "$home")" ""
done
