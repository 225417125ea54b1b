# Sourced by e2e.sh inside its sandbox.
# What a copy into the system folders may carry: modes that let no one else
# change plug-in code, and bundle files that another program holds a lease on.

# A resources folder NAME with one element, Calmfield 6 Plugin; prints the
# element's folder for the caller to fill.
one_element() {
    local element=$sandbox/$1/Products/'Calmfield 6'/'Calmfield 6 Plugin'
    rm -rf "$sandbox/$1"
    mkdir -p "$element"
    echo "$element"
}

# ---- 1. Modes: whatever the bundle says, nothing copied is writable by the
# group or others, executable bits stay and set-ID bits go.
element=$(one_element modes)
mkdir -p "$element/Open folder"
echo data >"$element/open.bin"
echo inside >"$element/Open folder/inside.bin"
printf '#!/bin/sh\n' >"$element/run.sh"
echo setuid >"$element/setuid.bin"
echo private >"$element/private.bin"
chmod -R go+rX "$sandbox/modes"
chmod 0666 "$element/open.bin"
chmod 0777 "$element/Open folder"
chmod 0775 "$element/run.sh"
chmod 04755 "$element/setuid.bin"
chmod 0700 "$element/private.bin"
modesBundle=$(bundle_with modes "$sandbox/modes")
fresh_system
fresh_home "$allowUser"
unattended_as modes "$allowUser" "" "$modesBundle"
check "modes: the install succeeds" equal "$(exitOf modes)" 0
copy="${APP}Calmfield 6 Plugin"
check "modes: each copy's mode and owner" \
    equal "$(cd "$copy" && stat -c '%n %a %U' open.bin 'Open folder' 'Open folder/inside.bin' run.sh setuid.bin private.bin)" \
    "$(printf '%s\n' 'open.bin 644 root' 'Open folder 755 root' 'Open folder/inside.bin 644 root' \
        'run.sh 755 root' 'setuid.bin 755 root' 'private.bin 700 root')"
check "modes: nothing below /opt is writable by the group or others" \
    equal "$(find /opt -mindepth 1 ! -type l -perm /022 -printf '%p %m\n')" ""
receipt="/var/opt/quorvantic-installer/receipts/Calmfield 6.receipt"
check "modes: the receipt records the modes that are there" \
    equal "$(grep -P "^(file|folder)\t\Q$copy\E/(open.bin|Open folder|run.sh|setuid.bin)\t" "$receipt" | cut -f 2,5 | sort)" \
    "$(printf '%s\t%s\n' "$copy/Open folder" 0755 "$copy/open.bin" 0644 "$copy/run.sh" 0755 "$copy/setuid.bin" 0755)"
cli_as modes-verify "$allowUser" --verify
# Everything matches; only root may read the file the bundle kept to its owner.
check "modes: --verify finds nothing changed" \
    equal "$(cat "$out/modes-verify.stdout")" "Calmfield 6: unreadable: $copy/private.bin"
# Installed again over a copy an earlier installer left open to all: mended.
chmod 0777 "$copy/Open folder"
unattended_as modes-again "$allowUser" "" "$modesBundle"
check "modes: installing again succeeds" equal "$(exitOf modes-again)" 0
check "modes: ... and the folder is no longer writable by others" equal "$(stat -c %a "$copy/Open folder")" 755

# ---- 2. A lease: a file server holding a bundle file is asked to let go,
# and the install waits for it.
element=$(one_element leased)
head -c 1048576 /dev/urandom >"$element/leased.bin"
echo other >"$element/other.bin"
chmod -R go+rX "$sandbox/leased"
leasedBundle=$(bundle_with leased "$sandbox/leased")
leasedFile="$(resourcesOf "$leasedBundle")/Products/Calmfield 6/Calmfield 6 Plugin/leased.bin"
cat >"$sandbox/lease-holder.py" <<'PY'
# Holds a write lease on a file, as a file server does; told to let go
# (SIGIO), it finishes its work for two seconds and then releases the lease.
import fcntl, os, signal, sys, time
path, log = sys.argv[1], sys.argv[2]
def note(text):
    with open(log, "a") as f:
        f.write(text + "\n")
fd = os.open(path, os.O_RDONLY)
def let_go(signum, frame):
    note("asked to let go")
    time.sleep(2)
    fcntl.fcntl(fd, fcntl.F_SETLEASE, fcntl.F_UNLCK)
    note("released")
    sys.exit(0)
signal.signal(signal.SIGIO, let_go)
fcntl.fcntl(fd, fcntl.F_SETLEASE, fcntl.F_WRLCK)
note("leased")
time.sleep(300)
note("never asked")
PY
rm -f "$out/lease.log"
python3 "$sandbox/lease-holder.py" "$leasedFile" "$out/lease.log" 2>"$out/lease-holder.err" &
holder=$!
for _ in $(seq 100); do grep -q leased "$out/lease.log" 2>/dev/null && break; sleep 0.05; done
check "leased: the holder has its lease" grep -qx leased "$out/lease.log"
fresh_system
fresh_home "$allowUser"
unattended_as leased "$allowUser" "" "$leasedBundle"
check "leased: the install succeeds" equal "$(exitOf leased)" 0
check "leased: the holder was asked to let go, and did" \
    equal "$(cat "$out/lease.log")" $'leased\nasked to let go\nreleased'
check "leased: the copy is the file" cmp -s "$leasedFile" "${APP}Calmfield 6 Plugin/leased.bin"
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true

# ---- 3. A FIFO in the bundle is still refused at once, not waited on.
element=$(one_element fifo)
echo plug-in >"$element/plugin.bin"
mkfifo "$element/pipe"
chmod -R go+rX "$sandbox/fifo"
fifoBundle=$(bundle_with fifo "$sandbox/fifo")
fresh_system
fresh_home "$allowUser"
started=$SECONDS
unattended_as fifo "$allowUser" "" "$fifoBundle"
check "fifo: the install fails" equal "$(exitOf fifo)" 1
check "fifo: it says why" grep -q "pipe is a FIFO and cannot be installed" "$out/fifo.stderr"
check "fifo: at once (within 30 s)" test $((SECONDS - started)) -lt 30
