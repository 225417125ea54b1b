# The system receipt store: a store that cannot be written fails the install
# before anything is done, a receipt that cannot be written fails the run,
# temporaries of dead runs go, two products listing one path, and a refused
# copy. Sourced by e2e.sh inside its sandbox.

store=/var/opt/quorvantic-installer/receipts
allowData=$sandbox/home/$allowUser/.local/share

# NAME's standard error holds the line LINE (and is shown when it does not).
says_on_stderr() { grep -qxF "$2" "$out/$1.stderr" || { sed 's/^/   /' "$out/$1.stderr"; return 1; }; }
# NAME exits 1, saying MESSAGE on standard error after "Installation failed: ".
failed_saying() {
    local name=$1 message=$2
    check "$name: exit status 1" equal "$(exitOf "$name")" 1
    check "$name: says why on standard error" says_on_stderr "$name" "Installation failed: $message"
}
# NAME exited 0 (its standard output is shown when it did not).
exited_zero() { equal "$(exitOf "$1")" 0 || { sed 's/^/   /' "$out/$1.stdout" "$out/$1.stderr"; return 1; }; }

# ---- 1. A store that cannot be got ready: nothing is installed, as the user or root.
full_store() {
    umount /var/opt
    mount -t tmpfs -o mode=755,size=8k tmpfs /var/opt
    head -c 16384 /dev/zero >/var/opt/filler 2>/dev/null || true
}
for kind in read-only full; do
    case $kind in
    read-only) reason="Read-only file system" ;;
    full) reason="No space left on device" ;;
    esac
    for who in user root; do
        name=store-$kind-$who
        fresh_system
        fresh_home "$allowUser"
        [[ $kind == full ]] && full_store
        before=$(snapshot "$allowUser")
        [[ $kind == read-only ]] && mount -o remount,ro /var/opt
        if [[ $who == user ]]; then
            unattended_as "$name" "$allowUser"
        else
            unattended_as_root "$name" "$sandbox/bundle" HOME=/root XDG_DATA_HOME="$allowData"
        fi
        [[ $kind == read-only ]] && mount -o remount,rw /var/opt
        failed_saying "$name" "The receipts cannot be kept in $store: $reason. Nothing was installed."
        check "$name: nothing installed anywhere" same_snapshot "$allowUser" "$before"
    done
done

# ... and the window's summary says it.
fresh_system
fresh_home "$allowUser"
mount -o remount,ro /var/opt
install_as store-read-only-window "$allowUser"
mount -o remount,rw /var/opt
failed_with store-read-only-window "The receipts cannot be kept in $store: Read-only file system. Nothing was installed."
check "store-read-only-window: nothing installed" equal "$(find /opt /usr/local/share -mindepth 1)" ""

# A read-only /opt fails the run at its first folder, and undoing it leaves
# nothing for the next run: no journal, no notice of an interrupted run.
for who in user root; do
    name=opt-read-only-$who
    fresh_system
    fresh_home "$allowUser"
    before=$(snapshot "$allowUser")
    mount -o remount,ro /opt
    if [[ $who == user ]]; then
        unattended_as "$name" "$allowUser"
    else
        unattended_as_root "$name" "$sandbox/bundle" HOME=/root XDG_DATA_HOME="$allowData"
    fi
    mount -o remount,rw /opt
    failed_saying "$name" "cannot create folder /opt/Quorvantic: Read-only file system"
    check "$name: ... and says nothing was left undone" \
        equal "$(grep -c 'could not all be undone' "$out/$name.stderr")" 0
    check "$name: no journal is left" \
        equal "$(find "$store" "$(userReceipts "$allowUser")" -name transaction.journal 2>/dev/null)" ""
    check "$name: nothing installed anywhere" same_snapshot "$allowUser" "$before"
    unattended_as "$name-again" "$allowUser"
    check "$name: the next run installs" equal "$(exitOf "$name-again")" 0
    check "$name: ... without a notice of an interrupted run" \
        equal "$(grep -c 'interrupted' "$out/$name-again.stderr")" 0
done

# ---- 2. Room for the probe but not for the receipts: the run fails, naming
# what is installed but not recorded.
# A bundle NAME whose one element holds COUNT files with long names (a long
# receipt); prints its root.
bundle_of_files() {
    local name=$1 count=$2 contents=$sandbox/$1/Products/"Calmfield 6"/"Calmfield 6 Plugin"/Contents n
    mkdir -p "$contents"
    for n in $(seq "$count"); do
        echo "$n" >"$contents/a file with a long name to make the receipt long $n.bin"
    done
    chmod -R go+rX "$sandbox/$name"
    bundle_with "$name" "$sandbox/$name"
}
manyBundle=$(bundle_of_files store-many 300)
fresh_system
fresh_home "$allowUser"
umount /var/opt
mount -t tmpfs -o mode=755,size=8k tmpfs /var/opt
unattended_as store-unrecorded "$allowUser" "" "$manyBundle"
failed_saying store-unrecorded "/opt/Quorvantic/Calmfield 6 Plugin was installed but is not recorded: cannot write the receipt $store/Calmfield 6.receipt: No space left on device"
check "store-unrecorded: not said to be complete" equal "$(grep -c 'Installation completed' "$out/store-unrecorded.stdout")" 0

# ---- 3. Two bundles whose products carry an element of the same name.
for product in Alpha Beta; do
    element=$sandbox/store-$product/Products/"$product 1"/"Shared Plugin"
    mkdir -p "$element/Contents"
    echo "$product's plug-in" >"$element/Contents/plugin.bin"
    chmod -R go+rX "$sandbox/store-$product"
done
alphaBundle=$(bundle_with store-alpha "$sandbox/store-Alpha")
betaBundle=$(bundle_with store-beta "$sandbox/store-Beta")
fresh_system
fresh_home "$allowUser"
before=$(snapshot "$allowUser")
unattended_as shared-alpha "$allowUser" "" "$alphaBundle"
unattended_as shared-beta "$allowUser" "" "$betaBundle"
check "shared: Alpha installs" exited_zero shared-alpha
check "shared: Beta installs" exited_zero shared-beta
cli_as shared-uninstall-alpha "$allowUser" --uninstall --yes "Alpha 1"
check "shared: uninstalling Alpha succeeds" exited_zero shared-uninstall-alpha
check "shared: Beta's files stay" \
    same_tree "$(resourcesOf "$betaBundle")/Products/Beta 1/Shared Plugin" "/opt/Quorvantic/Shared Plugin"
check "shared: Beta's link stays" link_is "${SUPP}Shared Plugin" "/opt/Quorvantic/Shared Plugin"
check "shared: Alpha's receipt is gone" test ! -e "$store/Alpha 1.receipt"
cli_as shared-verify-beta "$allowUser" --verify "Beta 1"
check "shared: Beta verifies" exited_zero shared-verify-beta
cli_as shared-uninstall-beta "$allowUser" --uninstall --yes "Beta 1"
check "shared: uninstalling Beta succeeds" exited_zero shared-uninstall-beta
check "shared: the system is as before both installs" same_snapshot "$allowUser" "$before"

# ---- 4. A dead run's temporary in the store: the next uninstall leaves nothing.
fresh_system
fresh_home "$allowUser"
before=$(snapshot "$allowUser")
unattended_as dead-install "$allowUser"
check "dead: the install succeeds" exited_zero dead-install
echo "cut short" >"$store/.quorvantic-12345-1"
cli_as dead-uninstall "$allowUser" --uninstall --yes
check "dead: the uninstall succeeds" exited_zero dead-uninstall
check "dead: ... and says so" grep -qx "Uninstall completed." "$out/dead-uninstall.stdout"
check "dead: the temporary and the store are gone" same_snapshot "$allowUser" "$before"

# ... and a helper killed during an uninstall of many files, while it removes
# them (each removal rewrites the receipt, so mostly in the middle of a write).
fresh_system
fresh_home "$allowUser"
before=$(snapshot "$allowUser")
unattended_as killed-install "$allowUser" "" "$(bundle_of_files store-large 1000)"
check "killed-uninstall: the install succeeds" exited_zero killed-install
contents="/opt/Quorvantic/Calmfield 6 Plugin/Contents"
cli_as killed-uninstall "$allowUser" --uninstall --yes &
runner=$!
helper=$(first_helper)
check "killed-uninstall: the helper was running" test -n "$helper"
for _ in $(seq 2000); do
    # What is removed waits under an undo name until the uninstall commits.
    left=$({ find "$contents" -type f ! -name '.quorvantic-*' 2>/dev/null || true; } | wc -l)
    ((left > 0 && left < 900)) && break
    sleep 0.005
done
[[ -n $helper ]] && kill -KILL "$helper" 2>/dev/null || true
wait "$runner" || true
check "killed-uninstall: killed halfway" test -e "$store/Calmfield 6.receipt" -a -d "$contents"
echo "   (temporaries the killed helper left: $(find "$store" -name '.quorvantic-*' | wc -l))"
cli_as killed-again "$allowUser" --uninstall --yes
check "killed-uninstall: the next uninstall succeeds" exited_zero killed-again
check "killed-uninstall: ... and leaves nothing" same_snapshot "$allowUser" "$before"

# ---- 5. A copy refused records nothing.
products=$sandbox/bundle/usr/share/quorvantic-installer/Products
cat >"$sandbox/refused.applescript" <<SCRIPT
do shell script "mkdir -p \\"/opt/Quorvantic/\\"" with administrator privileges
do shell script "cp -R -f \\"$products/Calmfield 6/Calmfield 6 Plugin\\" \\"/usr/local/share/\\"" with administrator privileges
SCRIPT
chmod 644 "$sandbox/refused.applescript"
fresh_system
rc=0
(cd / && env -i PATH=/usr/bin:/bin HOME=/root QT_QPA_PLATFORM=offscreen \
    "$sandbox/bundle/usr/bin/quorvantic-script" "$sandbox/refused.applescript") \
    >"$out/refused-copy.stdout" 2>"$out/refused-copy.stderr" || rc=$?
check "refused-copy: fails" equal "$rc" 1
check "refused-copy: says why" grep -qF "copy destination is not the app folder" "$out/refused-copy.stderr"
check "refused-copy: nothing copied" equal "$(find /usr/local/share -mindepth 1)" ""
check "refused-copy: no receipt kept" equal "$(find /var/opt -mindepth 1)" ""
