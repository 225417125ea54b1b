# The module's cases, in the order a machine lives through them; sourced by
# sandbox.sh, whose helpers (play, field, tree, as_root_for) they use.

# ------------------------------------------------------------ refusals
# Each is refused before anything runs: failed, the reason, the tree untouched.
fresh=$(tree times)
refused() {
    local name=$1 args=$2 says=$3
    play "$name" "$args"
    check "$name: fails" equal "$(field "$name" 'r.get("failed")')" True
    check "$name: says why" contains "$(field "$name" 'r["msg"]')" "$says"
    check "$name: changes nothing" equal "$(tree times)" "$fresh"
}
refused "no licence" "{$for_a}" "The licence must be accepted"
check "no licence: shows how to read it" contains "$(field "no licence" 'r["msg"]')" "$installer' --license"
refused "unknown user" "{\"installer\": \"$installer\", \"accept_license\": true, \"user\": \"qvans-nobody\"}" \
    "The account qvans-nobody does not exist."
refused "products with present" "{$for_a, \"accept_license\": true, \"products\": [\"Velamorph 4\"]}" \
    "products goes with state=absent"
chmod g+w "$bundle/usr/bin"
refused "installer in a folder others may write" "{$for_a, \"accept_license\": true}" \
    "the folder $bundle/usr/bin may be changed by someone other than root"
chmod g-w "$bundle/usr/bin"

# ------------------------------------------------------------ check mode
play "check present" "{$for_a, \"accept_license\": true}" --check --diff
as_root_for qvans-a --print-script >"$out/script.expected" 2>/dev/null
check "check present: would change" equal "$(field "check present" '[r["changed"], r.get("failed", False)]')" \
    $'True\nFalse'
check "check present: the diff is the script --print-script prints" equal \
    "$(field "check present" 'r["diff"]["after"] == open(sys.argv[3]).read()' "$out/script.expected")" True
check "check present: --diff shows the script" grep -qF 'do shell script "cp -R -f' "$out/check present.out"
check "check present: names the bundle's products" equal "$(field "check present" 'r["products"]')" "$products"
check "check present: changes nothing" equal "$(tree times)" "$fresh"

# ------------------------------------------------------------ install
play "install" "{$for_a, \"accept_license\": true}"
check "install: changed" equal "$(field install '[r["changed"], r.get("failed", False)]')" $'True\nFalse'
check "install: the result lists what is installed" equal \
    "$(field install 'sorted(p["product"] for p in r["installed"])')" "$products"
check "install: the photo host's product has its user part" equal \
    "$(field install '[p["parts"] for p in r["installed"] if p["product"] == "Velamorph 4"][0]')" $'system\nuser'
check "install: names its log, which exists" test -f "$(field install 'r["log"]')"
check "install: --verify passes" as_root_for qvans-a --verify
check "install: the module link is the user's" equal \
    "$(stat -c %U "$homeA/.local/share/Adobe/Lightroom/Modules/velamorph4.lrdevplugin")" qvans-a
check "install: the product with quotes and \$ is copied" test -d "/opt/Quorvantic/Calmfield 6 Plugin"
check "install: nothing written in root's home" equal \
    "$(find /root -mindepth 1 -maxdepth 1)" ""
installed=$(tree times)
logs=$(logs_of qvans-a)

play "install again" "{$for_a, \"accept_license\": true}"
check "install again: not changed" equal \
    "$(field "install again" '[r["changed"], r.get("failed", False)] + r.get("reasons", [])')" $'False\nFalse'
check "install again: no install ran (no new log, the same receipts and files)" \
    equal "$(logs_of qvans-a) $(tree times)" "$logs $installed"
play "check again" "{$for_a, \"accept_license\": true}" --check --diff
check "check again: not changed, no diff" equal "$(field "check again" '[r["changed"], "diff" in r]')" \
    $'False\nFalse'

# A file changed since the install fails --verify: the install is made again.
echo changed >>"/opt/Quorvantic/Calmfield 6 Plugin/Contents/Info.txt"
play "install over a change" "{$for_a, \"accept_license\": true}"
check "install over a change: changed, because --verify failed" contains \
    "$(field "install over a change" '[r["changed"]] + r["reasons"]')" $'True\n--verify: '
check "install over a change: --verify passes again" as_root_for qvans-a --verify

# A second account has the system part, not its own part of the photo host.
play "install for b" "{$for_b, \"accept_license\": true}"
check "install for b: changed" equal "$(field "install for b" '[r["changed"], r.get("failed", False)]')" \
    $'True\nFalse'
check "install for b: because b's part is missing" contains \
    "$(field "install for b" 'r["reasons"]')" "Velamorph 4: its part in the user's data folder is not installed"
check "install for b: b has the module" test -L "$homeB/.local/share/Adobe/Lightroom/Modules/velamorph4.lrdevplugin"
check "install for b: a's part is still there" as_root_for qvans-a --verify

# ------------------------------------------------------------ removal
before=$(tree times)
play "check absent" "{$for_b, \"state\": \"absent\"}" --check --diff
as_root_for qvans-b --print-uninstall-script >"$out/uninstall.expected" 2>/dev/null
check "check absent: would change" equal "$(field "check absent" 'r["changed"]')" True
check "check absent: the diff is the uninstall script" equal \
    "$(field "check absent" 'r["diff"]["after"] == open(sys.argv[3]).read()' "$out/uninstall.expected")" True
check "check absent: removes nothing" equal "$(tree times)" "$before"

play "absent one" "{$for_a, \"state\": \"absent\", \"products\": [\"Calmfield 6 Video\", \"Ambrelux 2\"]}"
check "absent one: changed, the one installed of the two" equal \
    "$(field "absent one" '[r["changed"]] + r["products"]')" $'True\nCalmfield 6 Video'
check "absent one: its element is gone" test ! -e "/opt/Quorvantic/Calmfield Video Plugin 2"
check "absent one: the others are still installed" equal \
    "$(field "absent one" 'sorted(p["product"] for p in r["installed"])')" "$(grep -v Video <<<"$products")"

play "absent b" "{$for_b, \"state\": \"absent\"}"
play "absent a" "{$for_a, \"state\": \"absent\"}"
for user in a b; do
    check "absent $user: changed, nothing is left installed" equal \
        "$(field "absent $user" '[r["changed"], r.get("failed", False), r["installed"]]')" $'True\nFalse\n[]'
done
check "absent: the tree is as before the install" equal "$(tree_without_logs)" "$(untimed <<<"$fresh" | without_logs)"
play "absent again" "{$for_a, \"state\": \"absent\"}"
check "absent again: not changed" equal "$(field "absent again" '[r["changed"], r.get("failed", False)]')" \
    $'False\nFalse'

# ------------------------------------------------------------ a failing install
mount -o remount,ro /opt
before=$(tree_without_logs)
play "read-only opt" "{$for_a, \"accept_license\": true}"
mount -o remount,rw /opt
check "read-only opt: fails" equal "$(field "read-only opt" 'r.get("failed")')" True
check "read-only opt: with the installer's message" contains \
    "$(field "read-only opt" 'r["msg"]')" \
    "Installation failed: cannot create folder /opt/Quorvantic: Read-only file system"
check "read-only opt: the message names the log" contains "$(field "read-only opt" 'r["msg"]')" \
    "(log: $(field "read-only opt" 'r["log"]'))"
check "read-only opt: and its log" test -f "$(field "read-only opt" 'r["log"]')"
check "read-only opt: the log is the one the installer named" contains \
    "$(field "read-only opt" 'r["stderr"]')" "Log: $(field "read-only opt" 'r["log"]')"
check "read-only opt: nothing installed" equal "$(field "read-only opt" 'r["installed"] == []')" True
check "read-only opt: the tree is as before" equal "$(tree_without_logs)" "$before"
# A journal a run left is undone by the installer's next real start as root,
# which check mode must not make. This one is a run killed before its first step.
journal=/var/opt/quorvantic-installer/receipts/transaction.journal
mkdir -p "$(dirname "$journal")"
printf 'quorvantic-journal 1 99999\n' >"$journal"
play "check with a run unfinished" "{$for_a, \"accept_license\": true}" --check
check "check with a run unfinished: would change, because of the journal" contains \
    "$(field "check with a run unfinished" '[r["changed"]] + r["reasons"]')" \
    $'True\nan interrupted run is not finished: '"$journal"
check "check with a run unfinished: leaves it" test -e "$journal"
"$installer" --list-installed >/dev/null 2>&1

# ------------------------------------------------------------ the role, from a .run
make_run_file "$sandbox/quorvantic.run"
role_play() {
    local name=$1 state=$2
    cat >"$out/$name.yml" <<PLAY
- hosts: localhost
  gather_facts: false
  roles:
    - role: quorvantic.installer.quorvantic_plugins
      quorvantic_plugins_run: $sandbox/quorvantic.run
      quorvantic_plugins_run_folder: $sandbox/runs
      quorvantic_plugins_accept_license: true
      quorvantic_plugins_user: qvans-a
      quorvantic_plugins_state: $state
  post_tasks:
    - name: keep the result
      ansible.builtin.copy:
        content: "{{ quorvantic_plugins_result | to_nice_json }}"
        dest: $out/$name.json
        mode: "0600"
PLAY
    local status=0
    ansible-playbook -i localhost, -c local "$out/$name.yml" >"$out/$name.out" 2>&1 || status=$?
    check "$name: ansible-playbook succeeds" equal "$status" 0
    ((status == 0)) || sed 's/^/   /' "$out/$name.out"
}
before=$(tree_without_logs)
role_play "role from a .run" present
check "role from a .run: the copy is root's, 0755" equal \
    "$(stat -c '%U %a' "$sandbox/runs/quorvantic.run" 2>&1)" "root 755"
check "role from a .run: installs the bundle's products" equal \
    "$(field "role from a .run" '[r["changed"]] + sorted(p["product"] for p in r["installed"])')" \
    "$(printf '%s\n' True "Calmfield 6" "Calmfield 6 Video" "Velamorph 4")"
check "role from a .run: --verify passes" as_root_for qvans-a --verify
role_play "role from a .run again" present
check "role from a .run again: not changed" equal "$(field "role from a .run again" 'r["changed"]')" False
role_play "role removing" absent
check "role removing: removes them with the copy" equal \
    "$(field "role removing" '[r["changed"], r["installed"]]')" $'True\n[]'
check "role removing: the tree is as before" equal "$(tree_without_logs)" "$before"
