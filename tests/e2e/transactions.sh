# Every run is all or nothing: a run killed after any step leaves a journal
# that the next start undoes, a run stopped by a signal or failing midway puts
# back what was there, and none of it leaves a trace of its own. Sourced by
# e2e.sh inside its sandbox.
#
# Runs are killed where they sync their journal, which they do before each
# step: strace delivers SIGKILL at the Nth sync, for N = 1, 2, ... until a run
# completes. QUORVANTIC_E2E_KILL_AT names another system call to kill at
# instead (to see what the checks make of a run without a journal);
# QUORVANTIC_E2E_SEED repeats the random kills of the helper.

rootReceipts=/root/.local/state/quorvantic-installer/receipts
txData=$sandbox/home/$allowUser/.local/share
killAt=${QUORVANTIC_E2E_KILL_AT:-fdatasync}
# Far more steps than the bundles here make; a run still killed at the last
# is a run that never completes.
killCap=60

# Every folder a run may write in, the receipts folders included.
txFolders=(/opt /usr/local/share /var/opt "$txData" "$rootReceipts" "$(userReceipts "$allowUser")")
# Every path in them: type, owner, mode, link target, contents. With
# --any-time a receipt's digest is of its lines in any order and without its
# time, so two installs of one bundle compare equal however they came about.
tx_tree() {
    local anyTime=${1:-} file
    { find "${txFolders[@]}" -printf '%p %y %u %m %l\n' 2>/dev/null || true; } | sort
    while IFS= read -r -d '' file; do
        if [[ -n $anyTime && $file == *.receipt ]]; then
            printf '%s  %s\n' "$(sed '/^time\t/d' "$file" | sort | sha256sum | cut -d ' ' -f 1)" "$file"
        else
            sha256sum "$file"
        fi
    done < <(find "${txFolders[@]}" -type f -print0 2>/dev/null || true) | sort
}
# The tree is EXPECTED (with --any-time: compared so); the first differences
# are shown when it is not.
tree_is() {
    local now
    case ${2:-} in
    --any-time-system) now=$(tx_tree --any-time | grep -v -F "${userPaths[@]/#/-e}") ;;
    --user) now=$(tx_tree | grep -F "${userPaths[@]/#/-e}") ;;
    *) now=$(tx_tree "${2:-}") ;;
    esac
    [[ "$now" == "$1" ]] || { diff <(echo "$1") <(echo "$now") | head -n 24 | sed 's/^/   /'; return 1; }
}
# The system part is EXPECTED's (--any-time) and the user's part BEFORE's.
userPaths=("$txData" "$(userReceipts "$allowUser")")
parts_are() {
    local expected=$1 before=$2
    tree_is "$(grep -v -F "${userPaths[@]/#/-e}" <<<"$expected")" --any-time-system &&
        tree_is "$(grep -F "${userPaths[@]/#/-e}" <<<"$before")" --user
}
# What a run keeps only while it runs: undo copies, staging folders, store
# temporaries, the journal, and receipts naming any of them.
tx_leftovers() {
    {
        find "${txFolders[@]}" \( -name '.quorvantic-*' -o -name transaction.journal \) -printf '%p\n' 2>/dev/null || true
        find "${txFolders[@]}" -type f -name '*.receipt' -exec grep -l -F '/.quorvantic-' {} + 2>/dev/null |
            sed 's/$/ (lists a path of a run)/' || true
    } | sort
}
no_leftovers() { equal "$(tx_leftovers)" ""; }

journal_lines() {
    { find "${txFolders[@]}" -name transaction.journal -type f -exec cat {} + 2>/dev/null || true; } | wc -l
}
# Killed after its commit record was written: the run is complete, and its
# next start only finishes the clean-up.
journal_committed() {
    { find "${txFolders[@]}" -name transaction.journal -type f -exec cat {} + 2>/dev/null || true; } |
        grep -q '^committed '
}
# A journal without its commit record (the user's side, when the system's committed).
journal_uncommitted() {
    local journal
    while IFS= read -r -d '' journal; do
        grep -q '^committed ' "$journal" || return 0
    done < <(find "${txFolders[@]}" -name transaction.journal -type f -print0 2>/dev/null || true)
    return 1
}

# Runs the installer as root for the test user's data folder, in-process:
# NAME BUNDLE-ROOT [--kill N] ARGUMENTS...; with --kill, under strace, which
# kills it on entering its Nth call of $killAt.
rootEnv=(env -i PATH=/usr/bin:/bin HOME=/root XDG_DATA_HOME="$txData" QT_QPA_PLATFORM=offscreen)
root_run() {
    local name=$1 root=$2 status=0 tracer=() traced=()
    shift 2
    if [[ ${1:-} == --kill ]]; then
        tracer=(strace -f -qq -o /dev/null -e "trace=$killAt" -e "inject=$killAt:signal=KILL:when=$2")
        # The sanitizer build's leak checker cannot run under a tracer.
        traced=(ASAN_OPTIONS=detect_leaks=0)
        shift 2
    fi
    # A shell of its own takes the news of the kill, which would clutter the log.
    ( (cd / && "${tracer[@]}" "${rootEnv[@]}" "${traced[@]}" "$root/usr/bin/quorvantic-installer" "$@") \
        </dev/null >"$out/$name.stdout" 2>"$out/$name.stderr"; exit $?) 2>/dev/null || status=$?
    echo "$status" >"$out/$name.status"
}
# Runs it in the background, its process id in $runner: NAME BUNDLE-ROOT ARGUMENTS...;
# root_wait NAME then keeps its exit status.
root_start() {
    local name=$1 root=$2
    shift 2
    (cd / && exec "${rootEnv[@]}" "$root/usr/bin/quorvantic-installer" "$@") \
        </dev/null >"$out/$name.stdout" 2>"$out/$name.stderr" &
    runner=$!
}
root_wait() {
    local status=0
    wait "$runner" || status=$?
    echo "$status" >"$out/$1.status"
}
tx_fresh() {
    fresh_system "$@"
    fresh_home "$allowUser"
    rm -rf /root/.local
}
# NAME exited STATUS; its output is shown when it did not.
exited_with() {
    equal "$(exitOf "$1")" "$2" || { sed 's/^/   /' "$out/$1.stdout" "$out/$1.stderr" | tail -n 12; return 1; }
}
says_nothing_changed() { grep -qF "Nothing was changed" "$out/$1.stderr" || { sed 's/^/   /' "$out/$1.stderr" | tail -n 8; return 1; }; }
says_interrupted() { grep -qF "An earlier installation was interrupted" "$out/$1.stderr"; }
finds_nothing_to_undo() { ! says_interrupted "$1"; }

# ---- The bundles: v1, and v2 with changed contents, a file gone and one
# new in an element, an export preset gone and one new, one element dropped
# and one added.
v1=$sandbox/tx-v1
rm -rf "$v1"
cp -a "$demo" "$v1"
mkdir -p "$v1/Products/Calmfield 6/Calmfield 6 Extra/Contents"
echo "extra, v1" >"$v1/Products/Calmfield 6/Calmfield 6 Extra/Contents/extra.bin"
v2=$sandbox/tx-v2
rm -rf "$v2"
cp -a "$demo" "$v2"
echo "v2" >>"$v2/Products/Calmfield 6/Calmfield 6 Plugin/Contents/calmfield6.plugin.bin"
video="$v2/Products/Calmfield 6 Video/Calmfield Video Plugin 2/Contents"
rm "$video/Info.txt"
echo "new in v2" >"$video/notes.txt"
lrElement="$v2/Products/Velamorph 4/Velamorph 4 Lightroom"
echo "-- v2" >>"$lrElement/velamorph4.lrdevplugin/Info.lua"
echo "v2" >>"$lrElement/Quorvantic Velamorph 4/Velamorph 4 - Full Size.lrtemplate"
mv "$lrElement/Quorvantic Velamorph 4/Velamorph 4 - Web.lrtemplate" "$lrElement/Quorvantic Velamorph 4/Velamorph 4 - Print.lrtemplate"
mkdir -p "$v2/Products/Calmfield 6 Video/Calmfield Video Plugin 3/Contents"
echo "added in v2" >"$v2/Products/Calmfield 6 Video/Calmfield Video Plugin 3/Contents/calmfieldvideo3.bin"
chmod -R go+rX "$v1" "$v2"
v1Bundle=$(bundle_with tx-v1 "$v1")
v2Bundle=$(bundle_with tx-v2 "$v2")

# The trees to end at: nothing, and each version installed on a fresh system.
tx_fresh
emptyTree=$(tx_tree)
root_run tx-clean-v1 "$v1Bundle" --unattended --accept-license
check "transactions: v1 installs as root" exited_with tx-clean-v1 0
v1Tree=$(tx_tree --any-time)
tx_fresh
root_run tx-clean-v2 "$v2Bundle" --unattended --accept-license
check "transactions: v2 installs as root" exited_with tx-clean-v2 0
v2Tree=$(tx_tree --any-time)
check "transactions: v2 is not v1" test "$v1Tree" != "$v2Tree"

setup_fresh() { tx_fresh; }
setup_v1() {
    tx_fresh
    root_run "$1-setup" "$v1Bundle" --unattended --accept-license
    exited_with "$1-setup" 0
}
setup_v2() {
    tx_fresh
    root_run "$1-setup" "$v2Bundle" --unattended --accept-license
    exited_with "$1-setup" 0
}

# The end an interrupted upgrade must reach: what an upgrade reaches.
setup_v1 tx-upgrade >/dev/null
root_run tx-upgrade "$v2Bundle" --unattended --accept-license
check "transactions: v1 upgrades to v2 as root" exited_with tx-upgrade 0
check "transactions: ... and the tree is that of v2 installed on a fresh system" tree_is "$v2Tree" --any-time

# strace's injection needs ptrace; without it, a run is killed once its
# journal holds N lines, as seen by polling.
probe=$sandbox/tx-probe
rc=0
(strace -f -qq -o /dev/null -e "trace=$killAt" -e "inject=$killAt:signal=KILL:when=1" \
    dd if=/dev/zero of="$probe" bs=1 count=1 conv=fdatasync; exit $?) >/dev/null 2>&1 || rc=$?
rm -f "$probe"
injection=strace
if [[ $killAt == fdatasync && $rc != 137 ]]; then
    injection=poll
    echo "   (strace cannot kill at fdatasync here (status $rc): runs are killed once the journal has N lines, by polling, which lands a few steps late)"
fi

# Runs ARGUMENTS killed at the Nth sync: NAME BUNDLE-ROOT N ARGUMENTS...
killed_run() {
    local name=$1 root=$2 n=$3
    shift 3
    if [[ $injection == strace ]]; then
        root_run "$name" "$root" --kill "$n" "$@"
        return
    fi
    # Builtins only, to see the journal grow as soon as it does; still, the
    # run may be a step or more further on when the kill lands.
    root_start "$name" "$root" "$@"
    local journal=/var/opt/quorvantic-installer/receipts/transaction.journal lines=()
    while kill -0 "$runner" 2>/dev/null; do
        lines=()
        [[ -f $journal ]] && { mapfile -t lines <"$journal"; } 2>/dev/null
        ((${#lines[@]} >= n)) && break
    done
    kill -KILL "$runner" 2>/dev/null || true
    root_wait "$name"
}

# ---- 1. Killed after each step, as root: the next start undoes the run and
# says so, and the same run again completes.
# LABEL SETUP EXPECTED-TREE BUNDLE-ROOT ARGUMENTS...: SETUP makes the tree
# before the run; EXPECTED-TREE is the run's own end (--any-time).
kill_each_step() {
    local label=$1 setup=$2 expected=$3 root=$4
    shift 4
    local n name before status killed=0 finished="" recovery journalAt="" changedAt="" committedAt="" betweenAt=""
    local -A bad=()
    local -A shown=()
    # A failure's first instance shows its differences; the others only count.
    fault() {
        bad[$1]+=" $2"
        if [[ -z ${shown[$1]:-} ]]; then
            shown[$1]=1
            echo "   $label, killed at sync $2: $1 fails:"
            sed 's/^/   /'
        fi
    }
    for ((n = 1; n <= killCap; n++)); do
        name=$label-$n
        "$setup" "$name" >"$out/$name.setup" 2>&1 || fault "the tree before is made" "$n" <"$out/$name.setup"
        before=$(tx_tree)
        killed_run "$name" "$root" "$n" "$@"
        status=$(exitOf "$name")
        if [[ $status != 137 ]]; then
            finished=$n
            break
        fi
        killed=$((killed + 1))
        # Where each kill landed: one more journal line each time, and the tree changed.
        journalAt+=" $(journal_lines)"
        [[ $(tx_tree) == "$before" ]] || changedAt+=" $n"
        # The undoing does not depend on which command starts next.
        if ((n % 2)); then recovery=--list-installed; else recovery=--verify; fi
        if journal_committed && journal_uncommitted; then
            # Between the system's commit and the user's: the system part
            # stays, the user's is undone, and the run again completes it.
            betweenAt+=" $n"
            root_run "$name-recovery" "$root" "$recovery"
            parts_are "$expected" "$before" >"$out/$name.restored" ||
                fault "killed between the two commits, the system part stands and the user's is undone" "$n" <"$out/$name.restored"
        elif journal_committed; then
            committedAt+=" $n"
            root_run "$name-recovery" "$root" "$recovery"
            tree_is "$expected" --any-time >"$out/$name.restored" ||
                fault "a run killed after its commit record stands whole" "$n" <"$out/$name.restored"
        else
            root_run "$name-recovery" "$root" "$recovery"
            says_interrupted "$name-recovery" ||
                fault "the next start ($recovery) says an earlier installation was interrupted" "$n" <"$out/$name-recovery.stderr"
            tree_is "$before" >"$out/$name.restored" || fault "the tree is the one before the run" "$n" <"$out/$name.restored"
        fi
        no_leftovers >"$out/$name.leftovers" 2>&1 || fault "nothing of the run is left" "$n" <"$out/$name.leftovers"
        root_run "$name-again" "$root" "$@"
        exited_with "$name-again" 0 >"$out/$name.again" || fault "the run again exits 0" "$n" <"$out/$name.again"
        tree_is "$expected" --any-time >"$out/$name.end" || fault "the run again ends at its own end" "$n" <"$out/$name.end"
        if [[ $label != *uninstall* ]]; then
            root_run "$name-verify" "$root" --verify
            exited_with "$name-verify" 0 >"$out/$name.verify" || fault "--verify then passes" "$n" <"$out/$name.verify"
        fi
    done
    echo "   ($label: the journal's lines at each kill:${journalAt:- none}; kills after which the tree had changed:${changedAt:- none}; after the commit record:${committedAt:- none}; between the system's commit and the user's:${betweenAt:- none})"
    check "$label: a run is killed at its first journal sync" test "$killed" -gt 0
    check "$label: a run completes once no sync is left to kill at (within $killCap)" test -n "$finished"
    if [[ -n $finished ]]; then
        check "$label: the run that completes exits 0" exited_with "$label-$finished" 0
        check "$label: ... and ends at its own end" tree_is "$expected" --any-time
    fi
    local what
    for what in "the tree before is made" "a run killed after its commit record stands whole" \
        "killed between the two commits, the system part stands and the user's is undone" \
        "the next start (--list-installed) says an earlier installation was interrupted" \
        "the next start (--verify) says an earlier installation was interrupted" \
        "the tree is the one before the run" "nothing of the run is left" "the run again exits 0" \
        "the run again ends at its own end" "--verify then passes"; do
        [[ $what == "--verify then passes" && $label == *uninstall* ]] && continue
        check "$label: $what, after each of $killed kills (listed: the syncs where not)" \
            equal "${bad[$what]:-}" ""
    done
}
kill_each_step kill-install setup_fresh "$v1Tree" "$v1Bundle" --unattended --accept-license
kill_each_step kill-upgrade setup_v1 "$v2Tree" "$v2Bundle" --unattended --accept-license
kill_each_step kill-uninstall setup_v2 "$emptyTree" "$v2Bundle" --uninstall --yes

# ---- 2. The helper killed at random times in a user's upgrade, through
# pkexec: the user's next run undoes what it left and completes.
userRun() { unattended_as "$1" "$allowUser" "" "$2"; }
tx_fresh
userRun tx-user-clean-v2 "$v2Bundle"
check "helper-killed: v2 installs as the user" exited_with tx-user-clean-v2 0
userV2Tree=$(tx_tree --any-time)
# How long the helper of an upgrade lives, to kill it within that.
tx_fresh
userRun tx-user-life-setup "$v1Bundle"
userRun tx-user-life "$v2Bundle" &
upgrade=$!
helper=$(first_helper)
started=$EPOCHREALTIME
while [[ -n $helper ]] && kill -0 "$helper" 2>/dev/null; do sleep 0.001; done
life=$(( (${EPOCHREALTIME/./} - ${started/./}) / 1000 ))
wait "$upgrade" || true
check "helper-killed: the upgrade as the user succeeds" exited_with tx-user-life 0
userUpgradeTree=$(tx_tree --any-time)
check "helper-killed: ... and ends where v2 installed on a fresh system does" tree_is "$userV2Tree" --any-time
seed=${QUORVANTIC_E2E_SEED:-$RANDOM}
RANDOM=$seed
echo "   (helper-killed: the helper of an upgrade lives $life ms; seed $seed, QUORVANTIC_E2E_SEED=$seed repeats the kills)"
badClaim="" badRerun="" badEnd="" badVerify="" badLeft="" kills=0
for k in 1 2 3 4; do
    name=tx-user-kill-$k
    # Within the first three quarters, so that a kill mostly finds it running;
    # on a loaded machine a helper may finish sooner than the one timed, so a
    # kill that finds it gone is tried again, sooner.
    delay=$((RANDOM % (life * 3 / 4 + 1)))
    for attempt in 1 2 3; do
        tx_fresh
        userRun "$name-setup" "$v1Bundle"
        before=$(tx_tree)
        userRun "$name" "$v2Bundle" &
        upgrade=$!
        helper=$(first_helper)
        sleep "$((delay / 1000)).$(printf %03d $((delay % 1000)))"
        killed=false
        [[ -n $helper ]] && kill -KILL "$helper" 2>/dev/null && killed=true
        wait "$upgrade" || true
        if [[ $(tx_tree) == "$before" ]]; then changed="nothing had changed"; else changed="the tree had changed"; fi
        echo "   (helper-killed $k: killed after $delay ms, the journal held $(journal_lines) lines, $changed; the run exited $(exitOf "$name"))"
        # Success is claimed only for an upgrade that went all the way.
        if [[ $(exitOf "$name") == 0 ]]; then
            tree_is "$userUpgradeTree" --any-time >"$out/$name.claimed" || { [[ -z $badClaim ]] && cat "$out/$name.claimed"; badClaim+=" $k"; }
        fi
        $killed && kills=$((kills + 1)) && break
        delay=$((delay / 2))
    done
    userRun "$name-again" "$v2Bundle"
    says_interrupted "$name-again" && echo "   (helper-killed $k: the next run said an earlier installation was interrupted)"
    exited_with "$name-again" 0 >/dev/null || badRerun+=" $k"
    tree_is "$userV2Tree" --any-time >"$out/$name.end" || { [[ -z $badEnd ]] && cat "$out/$name.end"; badEnd+=" $k"; }
    cli_as "$name-verify" "$allowUser" --verify
    exited_with "$name-verify" 0 >/dev/null || badVerify+=" $k"
    no_leftovers >"$out/$name.leftovers" || { [[ -z $badLeft ]] && cat "$out/$name.leftovers"; badLeft+=" $k"; }
done
echo "   (helper-killed: $kills of 4 kills found the helper still running)"
check "helper-killed: a kill found the helper running" test "$kills" -gt 0
check "helper-killed: a killed run that exits 0 had completed (listed: the kills where not)" equal "$badClaim" ""
check "helper-killed: the user's next run exits 0 (listed: the kills where not)" equal "$badRerun" ""
check "helper-killed: ... and ends at v2" equal "$badEnd" ""
check "helper-killed: ... which --verify passes" equal "$badVerify" ""
check "helper-killed: ... and nothing of the killed run is left" equal "$badLeft" ""

# ---- 3. SIGTERM or SIGINT midway through an upgrade: what was replaced is
# back, and nothing is left for the next start to undo.
bulk=$sandbox/tx-bulk
rm -rf "$bulk"
cp -a "$v2" "$bulk"
for part in $(seq 64); do # 256 MiB, in the second product of three
    head -c 4M /dev/zero >"$bulk/Products/Calmfield 6 Video/Calmfield Video Plugin 2/Contents/bulk-$part.bin"
done
chmod -R go+rX "$bulk"
bulkBundle=$(bundle_with tx-bulk "$bulk")
for signal in TERM INT; do
    name=tx-signal-$signal
    [[ $signal == TERM ]] && expected=143 || expected=130
    setup_v1 "$name" >/dev/null
    before=$(tx_tree)
    root_start "$name" "$bulkBundle" --unattended --accept-license
    while kill -0 "$runner" 2>/dev/null && [[ -z $(find /opt -name 'bulk-*.bin' -print -quit) ]]; do
        sleep 0.002
    done
    copied=$(find /opt -name 'bulk-*.bin' | wc -l)
    kill -"$signal" "$runner" 2>/dev/null || true
    root_wait "$name"
    echo "   ($name: sent with $copied of 64 large files copied)"
    check "$name: sent midway, during the copy" test "$copied" -lt 64
    check "$name: exit status $expected" exited_with "$name" "$expected"
    check "$name: says nothing was changed" says_nothing_changed "$name"
    check "$name: the tree is the one before the run" tree_is "$before"
    check "$name: nothing of the run is left" no_leftovers
    root_run "$name-next" "$v2Bundle" --list-installed
    check "$name: the next start finds nothing to undo" finds_nothing_to_undo "$name-next"
done

# ... and Cancel in the window, midway through a user's upgrade.
tx_fresh
userRun tx-window-cancel-setup "$v1Bundle"
before=$(tx_tree)
install_as tx-window-cancel "$allowUser" --bundle "$v2Bundle" --cancel-at 6
check "tx-window-cancel: the summary says nothing was changed" grep -qF "Nothing was changed" <(stateLog tx-window-cancel)
check "tx-window-cancel: the tree is the one before the run" tree_is "$before"
check "tx-window-cancel: nothing of the run is left" no_leftovers

# ---- 4. /opt full midway through an upgrade, as root and as a user: the run
# fails, and v1 stands as it was.
full=$sandbox/tx-full
rm -rf "$full"
cp -a "$v2" "$full"
# The last product's element: the two before it are upgraded when it fails.
head -c 2M /dev/urandom >"$full/Products/Velamorph 4/Velamorph 4 Lightroom/Velamorph4.app/Contents/large.bin"
chmod -R go+rX "$full"
fullBundle=$(bundle_with tx-full "$full")
for who in root user; do
    name=tx-full-$who
    tx_fresh 1m
    if [[ $who == root ]]; then root_run "$name-setup" "$v1Bundle" --unattended --accept-license; else userRun "$name-setup" "$v1Bundle"; fi
    check "$name: v1 installs on the small /opt" exited_with "$name-setup" 0
    before=$(tx_tree)
    if [[ $who == root ]]; then root_run "$name" "$fullBundle" --unattended --accept-license; else userRun "$name" "$fullBundle"; fi
    check "$name: exit status 1" exited_with "$name" 1
    check "$name: it was the full /opt" grep -qF "No space left on device" "$out/$name.stderr"
    check "$name: says nothing was changed" says_nothing_changed "$name"
    check "$name: the tree is the one before the run (v1 intact)" tree_is "$before"
    check "$name: no journal, no path of the run, no receipt naming one" no_leftovers
    if [[ $who == root ]]; then root_run "$name-next" "$v1Bundle" --verify; else cli_as "$name-next" "$allowUser" --verify; fi
    check "$name: what is installed verifies" exited_with "$name-next" 0
    check "$name: ... with nothing to undo first" finds_nothing_to_undo "$name-next"
done
