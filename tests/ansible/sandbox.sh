# The module for real, sourced by tests/ansible/run inside its private mount
# and process namespace (with $sandbox, $build, check, equal and contains):
# /opt, /usr/local/share, /var/opt, /root and the test users' homes are fresh
# tmpfs, the users exist only in bind-mounted copies of passwd and group, and
# every folder Ansible writes to lies in the sandbox.
mount -t tmpfs -o mode=755 tmpfs "$sandbox"
for folder in /opt /usr/local/share /var/opt /root; do
    mount -t tmpfs -o mode=755 tmpfs "$folder"
done
chmod 700 /root
out=$sandbox/out
mkdir -p "$out" "$sandbox/home" "$sandbox/runtime" "$sandbox/tmp"
chmod 700 "$sandbox/runtime"

users=(qvans-a qvans-b)
# shellcheck source=../packaging/namespace.sh
source "$here/../packaging/namespace.sh"
add_test_users "$sandbox" 62100 "${users[@]}"
for user in "${users[@]}"; do
    mkdir "$sandbox/home/$user"
    mount -t tmpfs -o mode=700 tmpfs "$sandbox/home/$user"
    chown "$user:$user" "$sandbox/home/$user"
done
homeA=$sandbox/home/qvans-a homeB=$sandbox/home/qvans-b

# The bundle as a package would hold it, root's, with a product whose name is
# in the shell's and the script's syntax: nothing of it may be expanded.
hostile='Calmfield "6" $HOME `id`'
bundle="$sandbox/bundle/Quorvantic Plugin Installer"
mkdir -p "$sandbox/bundle"
cp -R "$build/Quorvantic Plugin Installer" "$bundle"
mv "$bundle/usr/share/quorvantic-installer/Products/Calmfield 6" \
    "$bundle/usr/share/quorvantic-installer/Products/$hostile"
installer=$bundle/usr/bin/quorvantic-installer
products=$(printf '%s\n' "$hostile" "Calmfield 6 Video" "Velamorph 4")

mkdir -p "$sandbox/collections/ansible_collections/quorvantic"
cp -R "$root/packaging/ansible/ansible_collections/quorvantic/installer" \
    "$sandbox/collections/ansible_collections/quorvantic/installer"
unset XDG_DATA_HOME XDG_STATE_HOME XDG_CONFIG_HOME XDG_CACHE_HOME
export HOME=/root TMPDIR=$sandbox/tmp XDG_RUNTIME_DIR=$sandbox/runtime \
    ANSIBLE_HOME=$sandbox/ansible ANSIBLE_LOCAL_TEMP=$sandbox/ansible/tmp \
    ANSIBLE_REMOTE_TEMP=$sandbox/ansible/remote ANSIBLE_CONFIG=$sandbox/ansible.cfg \
    ANSIBLE_COLLECTIONS_PATH=$sandbox/collections ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 \
    ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
: >"$ANSIBLE_CONFIG"

# What the installs touch: every path with its type, mode, owner, and a file's
# size or a link's target; with "times" its modification time too (a folder's
# size, its entries' bytes on tmpfs, is left out: the times show a change).
tree() {
    local times=
    [[ ${1:-} == times ]] && times=' %T@'
    find /opt /usr/local/share /var/opt "$homeA" "$homeB" \( -type d -printf "%p %y %M %u:%g$times\n" \) \
        -o -printf "%p %y %M %u:%g %s %l$times\n" | LC_ALL=C sort
}
# Without times, and without the state folders that keep each run's log and
# the receipt stores (made once, and kept).
untimed() { sed -E 's/ [0-9]+\.[0-9]+$//'; }
without_logs() {
    grep -v -e '/\.local d ' -e '/\.local/state' -e '^/var/opt/quorvantic-installer d ' \
        -e '^/var/opt/quorvantic-installer/receipts d ' || true
}
tree_without_logs() { tree | without_logs; }

# Runs the module once with ARGS (JSON) and ansible-playbook's OPTIONS; the
# result goes to $out/NAME.json, what ansible-playbook printed to $out/NAME.out.
play() {
    local name=$1 args=$2 status=0
    shift 2
    cat >"$out/$name.yml" <<PLAY
- hosts: localhost
  gather_facts: false
  tasks:
    - name: quorvantic_plugins
      quorvantic.installer.quorvantic_plugins: $args
      register: result
      ignore_errors: true
    - name: keep the result
      ansible.builtin.copy:
        content: "{{ result | to_nice_json }}"
        dest: $out/$name.json
        mode: "0600"
      check_mode: false
      diff: false
PLAY
    ansible-playbook -i localhost, -c local "$@" "$out/$name.yml" >"$out/$name.out" 2>&1 || status=$?
    ((status == 0)) || { echo "   ansible-playbook exited $status:"; sed 's/^/   /' "$out/$name.out"; }
}
# EXPR of the result of NAME, `r`, printed; a list one item a line.
# Further arguments are sys.argv[3:].
field() {
    local name=$1
    shift
    /usr/bin/python3 -c 'import json, sys
r = json.load(open(sys.argv[1]))
v = eval(sys.argv[2], {"r": r, "sys": sys})
print("\n".join(map(str, v)) if isinstance(v, list) else v)' "$out/$name.json" "$@"
}
# The installer itself, as root for USER, the way the module runs it.
as_root_for() {
    local user=$1
    shift
    env HOME="$sandbox/home/$user" USER="$user" LOGNAME="$user" "$installer" "$@"
}
logs_of() { ls "$sandbox/home/$1/.local/state/quorvantic-installer/" 2>/dev/null | grep -c '\.log$' || true; }
for_a='"installer": "'$installer'", "user": "qvans-a"'
for_b='"installer": "'$installer'", "user": "qvans-b"'


# A .run of the build's bundle, made as scripts/package makes it.
make_run_file() {
    local run=$1 stage=$sandbox/stage name="Quorvantic Plugin Installer" version=0 slug=quorvantic
    local packaging=$root/packaging
    say() { :; }
    fail() { echo "$*" >&2; return 1; }
    replacement() { sed 's/[&|\\]/\\&/g' <<<"$1"; }
    mkdir -p "$stage"
    cp -R "$build/Quorvantic Plugin Installer" "$stage/bundle"
    install -m 755 "$packaging/AppRun" "$stage/bundle/AppRun"
    (source "$packaging/archives.sh" && make_run "$stage/bundle" "$run")
    rm -rf "$stage"
}

source "$here/cases.sh"
