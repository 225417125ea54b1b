# What an install leaves can be listed, checked and taken away exactly, and
# never more: sourced by e2e.sh inside its sandbox, after honest-outcomes.sh.

lr=$(lrOf "$allowUser")
preset="${lr}External Editor Presets/Quorvantic/Quorvantic Velamorph 4.lrtemplate"

# ---- 1. Install, list, verify, uninstall: the system as it was before.
fresh_system
fresh_home "$allowUser"
before=$(snapshot "$allowUser")
unattended_as receipts-install "$allowUser"
check "receipts: the install succeeds" equal "$(exitOf receipts-install)" 0
check "receipts: the system part is root's own" \
    equal "$(stat -c '%U %a' "/var/opt/quorvantic-installer/receipts/Velamorph 4.receipt")" "root 644"
check "receipts: the user part is the user's own, in their state folder" \
    equal "$(stat -c %U "$(userReceipts "$allowUser")/Velamorph 4.receipt")" "$allowUser"
cli_as receipts-list "$allowUser" --list-installed
check "receipts: --list-installed names the three products" \
    equal "$(cut -f 1,2 "$out/receipts-list.stdout")" $'Calmfield 6\t1.0.0\nCalmfield 6 Video\t1.0.0\nVelamorph 4\t1.0.0'
cli_as receipts-json "$allowUser" --list-installed --json
# A parts array holding "user" (a line of its own), not the "user" key every product has.
check "receipts: --json lists a user part" grep -qE '^ +"user",?$' "$out/receipts-json.stdout"
cli_as receipts-verify "$allowUser" --verify
check "receipts: --verify of an intact install exits 0" equal "$(exitOf receipts-verify)" 0
cli_as receipts-ask "$allowUser" --uninstall
check "receipts: without a terminal --uninstall needs --yes (64)" equal "$(exitOf receipts-ask)" 64
check "receipts: ... and removes nothing" test -d "/opt/Quorvantic/Velamorph 4 Lightroom"
cli_as receipts-uninstall "$allowUser" --uninstall --yes
check "receipts: --uninstall --yes succeeds" equal "$(exitOf receipts-uninstall)" 0
check "receipts: the snapshot after install + uninstall is the one before" same_snapshot "$allowUser" "$before"
check "receipts: the user part is gone too" test ! -e "$(userReceipts "$allowUser")/Velamorph 4.receipt"
cli_as receipts-again "$allowUser" --uninstall --yes "Velamorph 4"
check "receipts: a second uninstall exits 0" equal "$(exitOf receipts-again)" 0
check "receipts: ... saying it is not installed" grep -qx "Velamorph 4 is not installed." "$out/receipts-again.stdout"

# ---- 2. --verify reports a changed byte, a removed link and a re-pointed link.
unattended_as verify-install "$allowUser"
echo x >>"/opt/Quorvantic/Calmfield 6 Plugin/$(cd "/opt/Quorvantic/Calmfield 6 Plugin" && find . -type f | head -n 1)"
rm "${SUPP}Calmfield 6 Plugin"
ln -sfn /etc "${VIDEO}Calmfield Video Plugin 2"
echo "not ours" >/opt/Quorvantic/unrelated.txt
as_user "$allowUser" sh -c 'echo edited >>"$1"' _ "$preset"
cli_as verify-changed "$allowUser" --verify
check "verify: exits 1 when something changed" equal "$(exitOf verify-changed)" 1
check "verify: a changed byte" grep -q '^Calmfield 6: changed: /opt/Quorvantic/Calmfield 6 Plugin/.* (contents)$' "$out/verify-changed.stdout"
check "verify: a removed link" grep -qx "Calmfield 6: missing: ${SUPP}Calmfield 6 Plugin" "$out/verify-changed.stdout"
check "verify: a re-pointed link" grep -q "^Calmfield 6 Video: changed: ${VIDEO}Calmfield Video Plugin 2 (points to /etc, " "$out/verify-changed.stdout"
check "verify: a file nobody installed" grep -q ": unexpected: /opt/Quorvantic/unrelated.txt$" "$out/verify-changed.stdout"

# ---- 3. ... and the uninstall keeps each of them, saying so.
cli_as kept-uninstall "$allowUser" --uninstall --yes
check "kept: the uninstall still succeeds" equal "$(exitOf kept-uninstall)" 0
check "kept: the re-pointed link stays" link_is "${VIDEO}Calmfield Video Plugin 2" /etc
check "kept: ... and is reported" grep -q "^kept ${VIDEO}Calmfield Video Plugin 2: it points to /etc now" "$out/kept-uninstall.stderr"
check "kept: the changed file stays and is reported" grep -q "^kept /opt/Quorvantic/Calmfield 6 Plugin/.*: changed since it was installed" "$out/kept-uninstall.stderr"
check "kept: the file the user edited stays" grep -q edited "$preset"
check "kept: the unrelated file stays" test -f /opt/Quorvantic/unrelated.txt
check "kept: what was as installed is gone" test ! -e "/opt/Quorvantic/Velamorph 4 Lightroom"

# ---- 4. An install stopped halfway is undone; an uninstall then finds nothing to take.
fresh_system
fresh_home "$allowUser"
before=$(snapshot "$allowUser")
install_as halfway "$allowUser" --cancel-at 6
check "halfway: the stopped install was undone" test ! -e /opt/Quorvantic
cli_as halfway-uninstall "$allowUser" --uninstall --yes
check "halfway: the uninstall succeeds" equal "$(exitOf halfway-uninstall)" 0
check "halfway: the snapshot is the one before" same_snapshot "$allowUser" "$before"

# ---- 5. An upgrade from a bundle with one more element leaves nothing of it.
extra=$sandbox/extra
rm -rf "$extra"
cp -a "$demo" "$extra"
mkdir -p "$extra/Products/Calmfield 6/Calmfield 6 Extra/Contents"
echo extra >"$extra/Products/Calmfield 6/Calmfield 6 Extra/Contents/extra.bin"
chmod -R go+rX "$extra"
fresh_system
fresh_home "$allowUser"
unattended_as upgrade-old "$allowUser" "" "$(bundle_with extra "$extra")"
check "upgrade: the old bundle installs its extra element" link_is "${SUPP}Calmfield 6 Extra" "/opt/Quorvantic/Calmfield 6 Extra"
unattended_as upgrade-new "$allowUser"
check "upgrade: the new bundle installs" equal "$(exitOf upgrade-new)" 0
check "upgrade: no link of the dropped element" test ! -L "${SUPP}Calmfield 6 Extra"
check "upgrade: no copy of the dropped element" test ! -e "/opt/Quorvantic/Calmfield 6 Extra"
cli_as upgrade-verify "$allowUser" --verify
check "upgrade: what is installed verifies" equal "$(exitOf upgrade-verify)" 0

# ---- 6. A link planted at a recorded user-side folder is not followed.
fresh_system
fresh_home "$allowUser"
unattended_as planted-install "$allowUser"
exportPresets="${lr}Export Presets/Quorvantic Velamorph 4"
mkdir -p /var/opt/planted
cp "$exportPresets"/* /var/opt/planted/
as_user "$allowUser" sh -c 'rm -rf "$1" && ln -s /var/opt/planted "$1"' _ "$exportPresets"
cli_as planted-uninstall "$allowUser" --uninstall --yes
check "planted: the root-owned folder's files stay" equal "$(ls /var/opt/planted | wc -l)" "$(ls "$demo/Products/Velamorph 4/Velamorph 4 Lightroom/Quorvantic Velamorph 4" | wc -l)"
check "planted: ... and the uninstall says why" grep -q "^kept $exportPresets/.*: $exportPresets is no longer the folder" "$out/planted-uninstall.stderr"

# ---- 7. A user part edited to name system files never has root remove them.
fresh_system
fresh_home "$allowUser"
unattended_as edited-install "$allowUser"
echo precious >/usr/local/share/precious.txt
digest=$(sha256sum /usr/local/share/precious.txt | cut -d ' ' -f 1)
receipt="$(userReceipts "$allowUser")/Velamorph 4.receipt"
as_user "$allowUser" sh -c 'sed -i "\$d" "$1" && printf "file\t%s\t0\t0\t0644\t%s\nend\n" "$2" "$3" >>"$1"' \
    _ "$receipt" /usr/local/share/precious.txt "$digest"
cli_as edited-uninstall "$allowUser" --uninstall --yes
check "edited: the system file the user listed stays" test -f /usr/local/share/precious.txt
editedLog=$(ls "$sandbox/home/$allowUser/.local/state/quorvantic-installer/"install-*.log | tail -n 1)
check "edited: it was asked for as the user only" grep -q '(user) rm -f "/usr/local/share/precious.txt"' "$editedLog"
check "edited: ... never as root" equal "$(grep -c 'administrator.*precious' "$editedLog")" 0

# ---- 8. What a run left unfinished, and what nobody installed, fails --verify.
fresh_system
fresh_home "$allowUser"
unattended_as unlisted-install "$allowUser"
element="/opt/Quorvantic/Calmfield 6 Plugin"
presets=$(dirname "$preset")
systemJournal=/var/opt/quorvantic-installer/receipts/transaction.journal
userJournal="$(userReceipts "$allowUser")/transaction.journal"
left=" (a temporary of an installer run that did not finish)"
echo stray >"$element/stray.txt"
: >"$element/.quorvantic-123-4"
: >"${SUPP}.quorvantic-55-6"
mkdir "${SUPP}Another Vendor Plugin"
as_user "$allowUser" sh -c ': >"$1/.quorvantic-77-8" && : >"$1/Another Vendor.lrtemplate" && : >"$2"' \
    _ "$presets" "$userJournal"
: >"$systemJournal"
cli_as unlisted-verify "$allowUser" --verify
check "unlisted: --verify exits 1" equal "$(exitOf unlisted-verify)" 1
for journal in "$systemJournal" "$userJournal"; do
    check "unlisted: the unfinished run in $(dirname "$journal")" grep -qxF \
        "An installer run was interrupted and is not finished: $journal. The next run of the installer undoes it." \
        "$out/unlisted-verify.stdout"
done
check "unlisted: a file no product installed in an element" \
    grep -qxF "Calmfield 6: unexpected: $element/stray.txt" "$out/unlisted-verify.stdout"
for temporary in "$element/.quorvantic-123-4" "${SUPP}.quorvantic-55-6" "$presets/.quorvantic-77-8"; do
    check "unlisted: the temporary $temporary" \
        grep -qF ": unexpected: $temporary$left" "$out/unlisted-verify.stdout"
done
check "unlisted: other vendors' files are theirs" \
    test "$(grep -c "Another Vendor" "$out/unlisted-verify.stdout")" -eq 0
# The next install over the element does not take the temporary for its own.
rm "$systemJournal" "$userJournal"
unattended_as unlisted-again "$allowUser"
check "unlisted: the install over it succeeds" equal "$(exitOf unlisted-again)" 0
check "unlisted: ... and records no temporary" \
    test "$(cat /var/opt/quorvantic-installer/receipts/*.receipt | grep -c '\.quorvantic-')" -eq 0
# The element is replaced whole, so what stood in it went with the old one;
# the temporaries beside other vendors' files are still named.
check "unlisted: ... and the element holds nothing the bundle does not" \
    test ! -e "$element/.quorvantic-123-4" -a ! -e "$element/stray.txt"
cli_as unlisted-again-verify "$allowUser" --verify
check "unlisted: ... so --verify still names the temporary beside the plug-ins" \
    grep -qF ": unexpected: ${SUPP}.quorvantic-55-6$left" "$out/unlisted-again-verify.stdout"
