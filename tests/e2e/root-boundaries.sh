# What root does for a user, and nothing more: sourced by e2e.sh inside its
# sandbox, with its functions (fresh_system, fresh_home, as_user, install_as,
# bundle_with, check, equal, succeeded, failed_with, check_layout) at hand.

specialFiles() { find /opt /usr/local/share \( -type b -o -type c -o -type p -o -type s \) -printf '%p\n'; }

# A Lightroom element (a module folder, an application, presets) in a
# resources folder of its own; the caller then plants what it tests.
lightroom_resources() {
    local resources=$sandbox/$1 element
    element=$resources/Products/'Velamorph 4'/'Velamorph 4 Lightroom'
    mkdir -p "$element/Velamorph4.app" "$element/velamorph4.lrdevplugin" "$element/Quorvantic Velamorph 4"
    echo preset >"$element/Quorvantic Velamorph 4/p.lrtemplate"
    echo module >"$element/velamorph4.lrdevplugin/Info.lua"
    echo "$element"
}

# ---- 1. Another process of the user cannot reach the live helper.
# Large enough that the helper is seen running for a while.
slow=$sandbox/slow
mkdir -p "$slow/Products/Calmfield 6/Calmfield 6 Plugin"
for part in $(seq 32); do  # 512 MiB
    head -c 16M /dev/zero >"$slow/Products/Calmfield 6/Calmfield 6 Plugin/part$part.bin"
done
chmod -R go+rX "$slow"
slowBundle=$(bundle_with slow "$slow")

# One command frame, as the session writes it: 'C', the length, the text.
injected='id > /opt/INJECTED; cp /bin/bash /opt/rootbash; chmod 4755 /opt/rootbash'
{
    printf C
    printf "\\x$(printf %02x $((${#injected} >> 24 & 255)))\\x$(printf %02x $((${#injected} >> 16 & 255)))"
    printf "\\x$(printf %02x $((${#injected} >> 8 & 255)))\\x$(printf %02x $((${#injected} & 255)))"
    printf %s "$injected"
} >"$sandbox/inject.frame"
chmod 644 "$sandbox/inject.frame"

fresh_system
fresh_home "$allowUser"
as_user "$allowUser" timeout 120 "$slowBundle/usr/bin/quorvantic-e2e-driver" \
    --state "$out/injected.state" >"$out/injected.stdout" 2>"$out/injected.stderr" &
runner=$!
# The attacker: while a helper runs, write the frame into every pipe of the
# process that started it (the installer), through /proc.
as_user "$allowUser" bash -c '
    frame=$1 pattern=$2 seen=0 opened=0
    for _ in $(seq 4000); do
        helper=$(pgrep -u 0 -f "$pattern" | head -n 1)
        if [[ -z $helper ]]; then
            ((seen > 0)) && break
            sleep 0.005
            continue
        fi
        installer=$(ps -o ppid= -p "$helper" | tr -d " ")
        [[ -n $installer ]] || continue
        seen=$((seen + 1))
        for fd in /proc/$installer/fd/*; do
            [[ $(readlink "$fd" 2>/dev/null) == pipe:* ]] || continue
            timeout 1 bash -c "cat \"\$1\" >\"\$2\"" _ "$frame" "$fd" 2>/dev/null && opened=$((opened + 1))
        done
    done
    echo "$seen $opened"' _ "$sandbox/inject.frame" "$helperPattern" >"$out/inject.report" 2>&1
rc=0
wait "$runner" || rc=$?
check "injected: the driver ends normally" equal "$rc" 0
read -r seen opened <"$out/inject.report" || true
check "injected: the attacker tried while the helper ran" test "${seen:-0}" -gt 0
check "injected: no pipe of the installer could be opened" equal "${opened:-x}" 0
check "injected: nothing the frame said ran" \
    equal "$(find /opt -maxdepth 1 \( -name INJECTED -o -name rootbash \))" ""
succeeded injected

# ---- 2. Commands outside the install's operations are refused, run nothing.
printf '%s\n' 'do shell script "id > /opt/INJECTED" with administrator privileges' >"$sandbox/shell.applescript"
chmod 644 "$sandbox/shell.applescript"
fresh_system
rc=0
as_user "$allowUser" "$sandbox/bundle/usr/bin/quorvantic-script" "$sandbox/shell.applescript" \
    >"$out/script-user.stdout" 2>"$out/script-user.stderr" || rc=$?
check "script as a user: fails" equal "$rc" 1
check "script as a user: the helper names the refused command" \
    grep -qF "The privileged helper refused: not an install operation: id > /opt/INJECTED" "$out/script-user.stderr"
check "script as a user: nothing ran" test ! -e /opt/INJECTED
rc=0
(cd / && env -i PATH=/usr/bin:/bin HOME=/root QT_QPA_PLATFORM=offscreen \
    "$sandbox/bundle/usr/bin/quorvantic-script" "$sandbox/shell.applescript") \
    >"$out/script-root.stdout" 2>"$out/script-root.stderr" || rc=$?
check "script as root: fails" equal "$rc" 1
check "script as root: names the refused command" \
    grep -qF "Refused: not an install operation: id > /opt/INJECTED" "$out/script-root.stderr"
check "script as root: nothing ran" test ! -e /opt/INJECTED

# ---- 3. Links, FIFOs and devices a bundle carries.
mkdir -p /root/rootonly
chmod 700 /root/rootonly
printf "root's secret\n" >/root/victim
chmod 600 /root/victim
victim() { printf '%s|' "$(cat /root/victim)" "$(stat -c '%U %a %s' /root/victim)" "$(ls -A /root/rootonly)"; }
victimBefore=$(victim)

element=$(lightroom_resources path-link)
ln -s /root/victim "$element/velamorph4.lrdevplugin/Path.txt"
element=$(lightroom_resources module-link)
rm -rf "$element/velamorph4.lrdevplugin"
ln -s /root/rootonly "$element/velamorph4.lrdevplugin"
element=$(lightroom_resources path-fifo)
mkfifo "$element/velamorph4.lrdevplugin/Path.txt"
device=$sandbox/device/Products/'Calmfield 6'/'Calmfield 6 Plugin'
mkdir -p "$device"
echo plug-in >"$device/plugin.bin"
mknod "$device/null" c 1 3
for case in path-link module-link path-fifo device; do
    chmod -R go+rX "$sandbox/$case"
    fresh_system
    fresh_home "$allowUser"
    install_as "$case" "$allowUser" --bundle "$(bundle_with "$case" "$sandbox/$case")"
    check "$case: root's files are untouched" equal "$(victim)" "$victimBefore"
    check "$case: no device node, FIFO or socket installed" equal "$(specialFiles)" ""
done
failed_with path-link "velamorph4.lrdevplugin/Path.txt"
failed_with module-link "velamorph4.lrdevplugin"
failed_with path-fifo "velamorph4.lrdevplugin/Path.txt"
failed_with device "Calmfield 6 Plugin/null"

setuid=$sandbox/setuid/Products/'Calmfield 6'/'Calmfield 6 Plugin'
mkdir -p "$setuid"
cp /bin/true "$setuid/tool"
chmod 6755 "$setuid/tool"
fresh_system
fresh_home "$allowUser"
install_as setuid "$allowUser" --bundle "$(bundle_with setuid "$sandbox/setuid")"
succeeded setuid
check "setuid: the copy keeps its other bits" equal "$(stat -c %a "/opt/Quorvantic/Calmfield 6 Plugin/tool")" 755
check "setuid: no set-id bit under the install locations" equal "$(find /opt /usr/local/share -perm /6000)" ""

# ---- 4. What the user's shell hands down does not reach root's work.
fresh_system
fresh_home "$allowUser"
rc=0
# A soft limit: a hard one cannot be lifted without CAP_SYS_RESOURCE, which
# root lacks in some containers (this one among them, perhaps).
as_user "$allowUser" bash -c 'ulimit -S -f 4; trap "" USR1 ALRM XFSZ; exec "$@"' _ \
    timeout 120 "$sandbox/bundle/usr/bin/quorvantic-e2e-driver" --state "$out/limits.state" \
    >"$out/limits.stdout" 2>"$out/limits.stderr" || rc=$?
check "limits: the driver ends normally" equal "$rc" 0
succeeded limits
check_layout limits "$demo" "$allowUser"

# ---- 5. No root process outlives the installer.
fresh_system
fresh_home "$allowUser"
as_user "$allowUser" "$slowBundle/usr/bin/quorvantic-e2e-driver" --state "$out/killed.state" \
    >"$out/killed.stdout" 2>"$out/killed.stderr" &
helper=$(first_helper)
check "killed: the helper was running" test -n "$helper"
if [[ -n $helper ]]; then
    kill -KILL "$(ps -o ppid= -p "$helper" | tr -d ' ')" 2>/dev/null || true
    for _ in $(seq 100); do
        [[ -z $(helpersRunning) ]] && break
        sleep 0.1
    done
    check "killed: no helper left within 10 s" equal "$(helpersRunning)" ""
fi
wait || true

# ---- 6. Every run asks: the installer's action keeps no authorisation.
fresh_system
fresh_home "$askUser"
for run in 1 2; do
    install_as "asked-$run" "$askUser" --agent "$sandbox/bin/cancel-agent"
    check "asked-$run: the agent was asked for the installer's action" \
        grep -q "dismissing com.quorvantic.installer.helper" "$out/asked-$run.stderr"
    check "asked-$run: the page stays" equal "$(statePage "asked-$run")" install
done
