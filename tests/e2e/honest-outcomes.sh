# No failure reads as success, and root never acts in a user's folder: sourced
# by e2e.sh inside its sandbox after root-boundaries.sh (whose slow bundle and
# helpersRunning it uses).

# ---- 1. A product that cannot be read fails the run, naming it; the others install.
unreadable=$sandbox/unreadable
mkdir -p "$unreadable/Products/Calmfield 6/Calmfield 6 Plugin" "$unreadable/Products/Locked 1/Locked 1 Plugin"
echo plug-in >"$unreadable/Products/Calmfield 6/Calmfield 6 Plugin/plugin.bin"
chmod -R go+rX "$unreadable"
unreadableBundle=$(bundle_with unreadable "$unreadable")
chmod 700 "$(resourcesOf "$unreadableBundle")/Products/Locked 1"
fresh_system
fresh_home "$allowUser"
install_as unreadable "$allowUser" --bundle "$unreadableBundle"
check "unreadable: summary page" equal "$(statePage unreadable)" summary
check "unreadable: completedWithErrors true" equal "$(stateFailed unreadable)" true
check "unreadable: the log names the product" grep -qF "Products/Locked 1" <(stateLog unreadable)
check "unreadable: reported as before" grep -q '^Fail__ The folder ".*/Locked 1" could not be listed' "$out/unreadable.stdout"
check "unreadable: the other product installed" test -f "/opt/Quorvantic/Calmfield 6 Plugin/plugin.bin"

# ---- 2. Where a bundle lies does not change what it installs.
lies="$sandbox/Lightroom exports/Video Plugin kit"
mkdir -p "$lies"
cp -a "$sandbox/bundle" "$lies/bundle"
fresh_system
fresh_home "$allowUser"
install_as lies "$allowUser" --bundle "$lies/bundle"
succeeded lies
check_layout lies "$(resourcesOf "$lies/bundle")" "$allowUser"
check "lies: the same layout as from an ordinary place" \
    equal "$(layout_listing "$allowUser" | sed "s#$lies/bundle#BUNDLE#g")" \
    "$(echo "$first" | sed "s#$sandbox/bundle#BUNDLE#g")"

# ---- 3. Root installing for a user: the user's files are the user's.
allowData=$sandbox/home/$allowUser/.local/share
fresh_system
fresh_home "$allowUser"
unattended_as_root root-for-user "$sandbox/bundle" HOME=/root XDG_DATA_HOME="$allowData"
check "root-for-user: exit status 0" equal "$(cat "$out/root-for-user.status")" 0
check_layout root-for-user "$demo" "$allowUser"

# A link planted in the user's folder leads nowhere root would write.
fresh_system
fresh_home "$allowUser"
mkdir -p /opt/victim
echo "root's" >/opt/victim/keep
as_user "$allowUser" mkdir -p "$allowData/Adobe/Lightroom"
as_user "$allowUser" ln -s /opt/victim "$allowData/Adobe/Lightroom/Modules"
unattended_as_root root-planted "$sandbox/bundle" HOME=/root XDG_DATA_HOME="$allowData"
check "root-planted: fails" equal "$(cat "$out/root-planted.status")" 1
check "root-planted: root's folder untouched" equal "$(ls -A /opt/victim)" keep
check "root-planted: the user's permission is what failed" grep -q "Permission denied" "$out/root-planted.stderr"

# A data folder that root owns outside its home is refused, naming it.
mkdir -p "$sandbox/rootdata"
fresh_system
unattended_as_root root-foreign "$sandbox/bundle" HOME=/root XDG_DATA_HOME="$sandbox/rootdata"
check "root-foreign: fails" equal "$(cat "$out/root-foreign.status")" 1
check "root-foreign: names the folder" grep -qF "The data folder $sandbox/rootdata belongs to root" "$out/root-foreign.stderr"
check "root-foreign: nothing written there" equal "$(ls -A "$sandbox/rootdata")" ""

# Without HOME or USER (cron, service units) the account's home is used.
rm -rf /root/.local
fresh_system
unattended_as_root root-bare "$sandbox/bundle"
check "root-bare: exit status 0" equal "$(cat "$out/root-bare.status")" 0
check "root-bare: the module link is in root's home" test -L /root/.local/share/Adobe/Lightroom/Modules/velamorph4.lrdevplugin
check "root-bare: nothing at the root of the file system" test ! -e /Adobe

# ---- 4. An interrupted run says so, and leaves no helper behind.
for signal in INT TERM; do
    name=interrupted-$signal
    fresh_system
    fresh_home "$allowUser"
    as_user "$allowUser" "$slowBundle/usr/bin/quorvantic-installer" --unattended --accept-license \
        >"$out/$name.stdout" 2>"$out/$name.stderr" &
    runner=$!
    helper=$(first_helper)
    if [[ -n $helper ]]; then
        kill -"$signal" "$(ps -o ppid= -p "$helper" | tr -d ' ')" 2>/dev/null || true
    fi
    status=0
    wait "$runner" || status=$?
    [[ $signal == INT ]] && expected=130 || expected=143
    check "$name: exit status $expected" equal "$status" "$expected"
    check "$name: says the run was undone" \
        grep -qE '^Installation interrupted\. Nothing was changed\.$' "$out/$name.stderr"
    check "$name: nothing of the run stays" test ! -e /opt/Quorvantic
    check "$name: the last step did not run" test ! -e "/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/Calmfield 6 Plugin"
    check "$name: no helper left" equal "$(helpersRunning)" ""
    log=$(sed -n 's/^Log: //p' "$out/$name.stderr")
    check "$name: the log is named" test -n "$log"
    check "$name: the log lists the steps that ran" grep -q '^\[.*\] #1 (administrator) mkdir -p' "${log:-/nonexistent}"
    check "$name: the log is the user's" equal "$(stat -c %U "${log:-/nonexistent}" 2>/dev/null)" "$allowUser"
done

# ---- 5. Progress on standard error, step by step, apart from standard output.
fresh_system
fresh_home "$allowUser"
rc=0
as_user "$allowUser" "$sandbox/bundle/usr/bin/quorvantic-installer" --unattended --accept-license --progress \
    >"$out/progress.stdout" 2>"$out/progress.stderr" || rc=$?
check "progress: exit status 0" equal "$rc" 0
steps=$(grep -cE '^Installing .*\(step [0-9]+ of [0-9]+\)$' "$out/progress.stderr")
total=$(sed -nE 's/^Installing .*\(step [0-9]+ of ([0-9]+)\)$/\1/p' "$out/progress.stderr" | tail -n 1)
check "progress: one line per step" equal "$steps" "${total:-none}"
check "progress: the products are named" grep -q '^Installing Velamorph 4 (step' "$out/progress.stderr"
check "progress: nothing of it on standard output" equal "$(grep -c '^Installing' "$out/progress.stdout")" 0

# ---- 6. Cancel in the window stops after the step under way.
fresh_system
fresh_home "$allowUser"
install_as canceled "$allowUser" --bundle "$slowBundle" --cancel-at 3
failure_shown canceled "Installation canceled. Nothing was changed."
check "canceled: nothing of the run stays" test ! -e /opt/Quorvantic
check "canceled: the last step did not run" test ! -e "/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/Calmfield 6 Plugin"
check "canceled: no helper left" equal "$(helpersRunning)" ""
canceledLog=$(ls "$sandbox/home/$allowUser/.local/state/quorvantic-installer/"install-*.log 2>/dev/null | tail -n 1)
check "canceled: the log lists the steps that ran" grep -q '^\[.*\] #3 (administrator) cp -R -f' "${canceledLog:-/nonexistent}"

# ---- 7. A stopped run ends a long privileged copy too, between two files.
many=$sandbox/many/Products/'Calmfield 6'/'Calmfield 6 Plugin'
mkdir -p "$many"
(cd "$many" && seq -f 'f%06g' 60000 | xargs touch)
chmod -R go+rX "$sandbox/many"
manyBundle=$(bundle_with many "$sandbox/many")
fresh_system
fresh_home "$allowUser"
start=$SECONDS
install_as long-copy "$allowUser" --bundle "$manyBundle" --cancel-at 3 --stop-grace 100
failure_shown long-copy "Installation canceled. Nothing was changed."
check "long-copy: nothing of the run stays" test ! -e /opt/Quorvantic
copied=$({ find /opt/Quorvantic -type f 2>/dev/null || true; } | wc -l)
echo "   long-copy: $copied of 60000 files copied in $((SECONDS - start)) s"
check "long-copy: the copy ended before its end" test "$copied" -lt 60000
check "long-copy: no helper left" equal "$(helpersRunning)" ""
check "long-copy: the log tells where it stopped" grep -q "the install was stopped before .*Calmfield 6 Plugin/f" \
    "$(ls "$sandbox/home/$allowUser/.local/state/quorvantic-installer/"install-*.log | tail -n 1)"
