# Sourced by e2e.sh inside its sandbox.
# The command line and the script tool: honest refusals, and stops that
# leave nothing running.

# ---- 1. Two products carrying an element folder of the same name: refused
# before anything is asked or made, unattended and for --print-script.
shared=$sandbox/shared
for product in 'Alpha 1' 'Beta 1'; do
    mkdir -p "$shared/Products/$product/Shared Plugin"
    echo "$product" >"$shared/Products/$product/Shared Plugin/plugin.bin"
done
chmod -R go+rX "$shared"
sharedBundle=$(bundle_with shared "$shared")
sharedReason='The products "Alpha 1" and "Beta 1" both hold an element folder named "Shared Plugin"; nothing was installed.'
fresh_system
fresh_home "$cancelUser"
# The agent would dismiss an authentication: none may be asked for.
unattended_as shared "$cancelUser" "$sandbox/bin/cancel-agent" "$sharedBundle"
check "shared: exit status 64" equal "$(exitOf shared)" 64
check "shared: says why" grep -qxF "Installation failed: $sharedReason" "$out/shared.stderr"
check "shared: the agent was in place" grep -q registered "$out/shared.agent"
check "shared: no authentication asked" equal "$(cat "$out/shared.agent" "$out/shared.stderr" | grep -c dismissing)" 0
check "shared: nothing installed" equal "$(find /opt /usr/local/share /var/opt -mindepth 1)" ""

# Runs the installer of bundle ROOT as USER with --print-script: NAME USER ROOT.
print_script_as() {
    local name=$1 user=$2 root=$3 status=0
    as_user "$user" "$root/usr/bin/quorvantic-installer" --print-script </dev/null \
        >"$out/$name.stdout" 2>"$out/$name.stderr" || status=$?
    echo "$status" >"$out/$name.status"
}
print_script_as print-shared "$allowUser" "$sharedBundle"
check "print-shared: exit status 64" equal "$(exitOf print-shared)" 64
check "print-shared: says why" grep -qxF "No install script: $sharedReason" "$out/print-shared.stderr"
check "print-shared: prints no script" equal "$(cat "$out/print-shared.stdout")" ""

# ---- 2. --print-script on a bundle with nothing to install.
mkdir -p "$sandbox/no-elements/Products/Calmfield 6"
chmod -R go+rX "$sandbox/no-elements"
print_script_as print-empty "$allowUser" "$(bundle_with no-elements "$sandbox/no-elements")"
check "print-empty: exit status 64" equal "$(exitOf print-empty)" 64
check "print-empty: says why" grep -qxF \
    "No install script: There is nothing to install: the products hold no element folder." "$out/print-empty.stderr"
check "print-empty: prints no script" equal "$(cat "$out/print-empty.stdout")" ""

# ---- 3. SIGTERM to quorvantic-script while a command runs, with the
# privileged session open: the tool exits 143 after the command's grace, and
# neither the command's shell nor the helper is left; no further command ran.
script=$sandbox/stop.applescript
cat >"$script" <<SCRIPT
do shell script "mkdir -p \\"/opt/Quorvantic/\\"" with administrator privileges
do shell script "echo \$\$ > '$out/stop.pid'; sleep 30"
do shell script "mkdir -p \\"/usr/local/share/Adobe/Plug-Ins/CC/Quorvantic/\\"" with administrator privileges
SCRIPT
chmod 644 "$script"
fresh_system
fresh_home "$allowUser"
rm -f "$out/stop.pid"
as_user "$allowUser" bash -c 'exec "$1" "$2"' _ "$sandbox/bundle/usr/bin/quorvantic-script" "$script" \
    >"$out/stop.stdout" 2>"$out/stop.stderr" &
tool=$!
for _ in $(seq 600); do [[ -s $out/stop.pid ]] && break; sleep 0.05; done
shell=$(cat "$out/stop.pid" 2>/dev/null || true)
check "stop: the command ran, as the user" test -n "$shell" -a "$(stat -c %U "$out/stop.pid" 2>/dev/null)" == "$allowUser"
check "stop: the helper runs meanwhile" test -n "$(helpersRunning)"
toolPid=$(pgrep -u "$allowUser" -f 'usr/bin/[q]uorvantic-script' | head -n 1)
check "stop: the tool runs" test -n "$toolPid"
started=$SECONDS
kill -TERM "${toolPid:-$tool}"
rc=0
wait "$tool" || rc=$?
check "stop: exit status 143" equal "$rc" 143
check "stop: within the grace and a margin (30 s)" test $((SECONDS - started)) -lt 30
check "stop: says so as an error" grep -q "^Error: " "$out/stop.stderr"
leftover=""
for _ in $(seq 100); do
    leftover=$(pgrep -g "${shell:-999999}" || true; helpersRunning)
    [[ -z $leftover ]] && break
    sleep 0.05
done
check "stop: nothing of the command's process group or the helper is left" equal "$leftover" ""
check "stop: the command after it never ran" test ! -e /usr/local/share/Adobe
