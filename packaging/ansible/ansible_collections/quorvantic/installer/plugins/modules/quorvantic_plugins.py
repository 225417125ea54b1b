#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright: Quorvantic
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: quorvantic_plugins
short_description: Install or remove the Quorvantic image-editing plug-ins
version_added: "1.0.0"
description:
  - Runs the Quorvantic Plugin Installer without its window to install every product its
    bundle carries (C(--unattended --accept-license)) or to remove installed products
    (C(--uninstall --yes)).
  - An install is made only when something differs from what the bundle would install. The
    products are those of the installer's C(--print-script); they count as installed when
    C(--list-installed --json) lists each with this installer's version (and a user part
    for a product that writes into the user's data folder) and C(--verify) passes for them.
  - Check mode runs only the installer's read-only actions. An earlier run that was killed
    is undone by any real start of the installer as root; in check mode its journal is
    only reported.
  - The installer is always run with an argument list, never through a shell.
author:
  - Quorvantic (@quorvantic)
options:
  installer:
    description:
      - The installer to run, C(quorvantic-installer) from an installed package or bundle,
        or a self-extracting C(.run) file, which is given its options after C(--).
      - As root it must be a file owned by root, in folders owned by root, that no one else
        may write.
    type: path
    default: /opt/quorvantic-installer/usr/bin/quorvantic-installer
  state:
    description:
      - C(present) installs every product of the bundle unless that is already installed
        and verified; C(absent) removes installed products.
    type: str
    choices: [present, absent]
    default: present
  accept_license:
    description:
      - Accepts the licence agreement. Required for I(state=present); read the licence first
        with C(quorvantic-installer --license) (C(FILE.run -- --license)).
    type: bool
    default: false
  products:
    description:
      - With I(state=absent), the products to remove; all installed ones when omitted.
    type: list
    elements: str
  force:
    description:
      - With I(state=absent), also removes installed files that changed since the install
        (C(--uninstall --force)). Without it they are kept, and named in the task's warnings.
    type: bool
    default: false
  user:
    description:
      - The account whose data folder gets the photo host's module and presets, and whose
        state folder keeps that part's receipts.
      - Run as root, the installer gets the account's C(HOME), C(USER) and C(LOGNAME);
        C(XDG_DATA_HOME) and C(XDG_STATE_HOME) set for the task are kept only when they lie
        inside that home, others are dropped.
      - Without root only the account running the module can be named.
    type: str
notes:
  - Run as root (C(become=true)) the installer needs no polkit authentication.
  - Supports C(check_mode) and C(diff); the diff is the script the installer would run.
'''

EXAMPLES = r'''
- name: Install the plug-ins for alice
  quorvantic.installer.quorvantic_plugins:
    accept_license: true
    user: alice
  become: true

- name: Install from a self-extracting file
  quorvantic.installer.quorvantic_plugins:
    installer: /var/cache/quorvantic/quorvantic-plugin-installer-1.4.run
    accept_license: true

- name: Remove one product, changed files too
  quorvantic.installer.quorvantic_plugins:
    state: absent
    products: ["Calmfield 6"]
    force: true
  become: true
'''

RETURN = r'''
installed:
  description: What C(--list-installed --json) lists after the run, one entry a product.
  returned: once the installer could be run, but not in check mode while a killed run's
    journal waits to be undone
  type: list
  elements: dict
  sample: [{"product": "Calmfield 6", "version": "1.4.0", "time": "2024-05-02T10:11:12Z",
            "bundle": "/opt/quorvantic-installer/usr/share/quorvantic-installer/Products",
            "user": "alice", "parts": ["system"]}]
products:
  description: With I(state=present), the products the bundle installs; with I(state=absent),
    the products removed (or, in check mode, that would be).
  returned: success
  type: list
  elements: str
  sample: ["Calmfield 6", "Velamorph 4"]
reasons:
  description: Why an install is needed, one line each (empty when nothing is).
  returned: with I(state=present)
  type: list
  elements: str
  sample: ["Velamorph 4: not installed"]
log:
  description: The installer's log of the run, as it printed it after C(Log:).
  returned: when an install or uninstall ran and the installer named its log
  type: str
  sample: /root/.local/state/quorvantic-installer/install-20240502-101112.log
rc:
  description: The exit status of the install or uninstall run.
  returned: when an install or uninstall ran
  type: int
stdout:
  description: What the install or uninstall run printed on standard output.
  returned: when an install or uninstall ran
  type: str
stderr:
  description: What the install or uninstall run printed on standard error.
  returned: when an install or uninstall ran
  type: str
'''

import json
import os
import pwd
import re
import shlex
import stat

from ansible.module_utils.basic import AnsibleModule

SYSTEM_JOURNAL = '/var/opt/quorvantic-installer/receipts/transaction.journal'
VERIFIED = re.compile(r': all [0-9]+ paths as installed$')
SCRIPT_LINE = re.compile(r'^do shell script "((?:[^"\\]|\\.)*)"(.*)$', re.MULTILINE)


class Installer(object):
    """Runs the installer's actions with one environment, as an argument list."""

    def __init__(self, module, path, environ):
        self.module = module
        self.argv = [path, '--'] if path.endswith('.run') else [path]
        self.environ = environ

    def run(self, *args):
        # Names may hold "$" or "~": nothing of them is expanded.
        return self.module.run_command(self.argv + list(args), environ_update=self.environ,
                                       expand_user_and_vars=False, cwd='/')

    def fail(self, what, rc, out, err, **extra):
        """Fails with the installer's own words, WHAT before them, and its log."""
        said = ' '.join(line.strip() for line in err.splitlines()
                        if line.strip() and not line.startswith('Log: '))
        message = said or out.strip() or 'exit status %d' % rc
        if what:
            message = '%s: %s' % (what, message)
        result = dict(rc=rc, stdout=out, stderr=err)
        log = log_path(err)
        if log:
            result['log'] = log
            message += ' (log: %s)' % log
        result.update(extra)
        self.module.fail_json(msg=message, **result)

    def read(self, what, *args):
        rc, out, err = self.run(*args)
        if rc != 0:
            self.fail(what, rc, out, err)
        return out

    def installed(self, after_failure=False):
        if after_failure:
            rc, out, dummy = self.run('--list-installed', '--json')
            try:
                return json.loads(out) if rc == 0 else None
            except ValueError:
                return None
        out = self.read('The installed products could not be listed', '--list-installed', '--json')
        try:
            listed = json.loads(out)
        except ValueError as error:
            self.module.fail_json(msg='--list-installed --json printed no JSON (%s)' % error,
                                  stdout=out)
        if not isinstance(listed, list):
            self.module.fail_json(msg='--list-installed --json printed no list', stdout=out)
        return listed

    def version(self):
        out = self.read('The installer did not say its version', '--version').strip()
        return out.split()[-1] if out else ''


def log_path(stderr):
    found = ''
    for line in stderr.splitlines():
        if line.startswith('Log: '):
            found = line[len('Log: '):]
    return found


def shell_words(command):
    """The words of a command the installer composed: operands in double
    quotes, where a backslash takes the next character as it is; the rest
    split at spaces."""
    words, word, quoted, i = [], None, False, 0
    while i < len(command):
        c = command[i]
        if c == '\\' and quoted and i + 1 < len(command):
            i += 1
            c = command[i]
        elif c == '"':
            quoted = not quoted
            word = word or ''
            i += 1
            continue
        elif c == ' ' and not quoted:
            if word is not None:
                words.append(word)
            word = None
            i += 1
            continue
        word = (word or '') + c
        i += 1
    if word is not None:
        words.append(word)
    return words


def script_commands(script):
    """Each `do shell script` command as (words, administrator). A command's
    string may run over several lines (a preset's text)."""
    return [(shell_words(re.sub(r'\\(.)', r'\1', m.group(1), flags=re.DOTALL)),
             m.group(2).strip() == 'with administrator privileges')
            for m in SCRIPT_LINE.finditer(script)]


def bundle_products(script):
    """The products an install script puts in, and those of them that write
    into the user's data folder. An element is copied from PRODUCTS/product/element
    into the app folder, the script's first folder made; the user's lines that
    name a path inside a copied element belong to its product."""
    commands = script_commands(script)
    app = next((w[-1] for w, admin in commands if admin and w[:2] == ['mkdir', '-p']), '')
    app = app.rstrip('/') + '/'
    elements = {}
    for words, admin in commands:
        if admin and words[:1] == ['cp'] and len(words) >= 3 and words[-1].rstrip('/') + '/' == app:
            source = words[-2].rstrip('/')
            elements[os.path.basename(source)] = os.path.basename(os.path.dirname(source))
    products = sorted(set(elements.values()))
    with_user_part = set()
    for words, admin in commands:
        if admin:
            continue
        for word in words:
            if word.startswith(app):
                element = word[len(app):].split('/', 1)[0]
                if element in elements:
                    with_user_part.add(elements[element])
    return products, with_user_part


def missing_parts(products, with_user_part, installed, version):
    """Why what is installed is not what the bundle installs, product by product."""
    by_name = dict((p.get('product'), p) for p in installed if isinstance(p, dict))
    reasons = []
    for name in products:
        entry = by_name.get(name)
        if entry is None:
            reasons.append('%s: not installed' % name)
            continue
        if entry.get('version') != version:
            reasons.append('%s: installed by version %s, this installer is %s'
                           % (name, entry.get('version'), version))
        parts = entry.get('parts') or []
        if 'system' not in parts:
            reasons.append('%s: its system part is not installed' % name)
        if name in with_user_part and 'user' not in parts:
            reasons.append("%s: its part in the user's data folder is not installed" % name)
    return reasons


def untrusted(path):
    """Why root must not run the file at PATH: someone other than root could
    have changed it or a folder on its way. None when nothing is wrong."""
    real = os.path.realpath(path)
    try:
        info = os.stat(real)
    except OSError as error:
        return '%s cannot be read: %s' % (path, error.strerror)
    if not stat.S_ISREG(info.st_mode):
        return '%s is not a regular file' % real
    if info.st_uid != 0 or info.st_mode & (stat.S_IWGRP | stat.S_IWOTH):
        return '%s may be changed by someone other than root' % real
    folder = os.path.dirname(real)
    while True:
        info = os.stat(folder)
        sticky = info.st_mode & stat.S_ISVTX
        if info.st_uid != 0 or (info.st_mode & (stat.S_IWGRP | stat.S_IWOTH) and not sticky):
            return 'the folder %s may be changed by someone other than root' % folder
        if folder == '/':
            return None
        folder = os.path.dirname(folder)


def inside(path, folder):
    return os.path.isabs(path) and os.path.commonpath([os.path.normpath(path), folder]) == folder


def user_environment(module, user):
    """HOME, USER and LOGNAME of the account; its XDG folders where the task set
    them inside its home. The caller's own are taken out of the environment,
    since the installer would otherwise write the user's part into them."""
    try:
        account = pwd.getpwnam(user)
    except KeyError:
        module.fail_json(msg='The account %s does not exist.' % user)
    if os.geteuid() != 0 and account.pw_uid != os.geteuid():
        module.fail_json(msg='Installing for %s needs root (become: true); this module runs as %s.'
                         % (user, pwd.getpwuid(os.geteuid()).pw_name))
    home = os.path.normpath(account.pw_dir)
    environ = {'HOME': home, 'USER': account.pw_name, 'LOGNAME': account.pw_name}
    for name in ('XDG_DATA_HOME', 'XDG_STATE_HOME'):
        value = os.environ.pop(name, None)
        if value is None:
            continue
        if inside(value, home):
            environ[name] = value
        else:
            module.warn('%s=%s is not inside the home of %s, so it was not given to the installer.'
                        % (name, value, user))
    return environ


def pending_journals(environ):
    """Journals a killed run left, which any real start of the installer undoes."""
    home = environ.get('HOME') or os.environ.get('HOME') or '/'
    state = environ.get('XDG_STATE_HOME') or os.environ.get('XDG_STATE_HOME') or \
        os.path.join(home, '.local/state')
    user_journal = os.path.join(state, 'quorvantic-installer/receipts/transaction.journal')
    return [path for path in (SYSTEM_JOURNAL, user_journal) if os.path.lexists(path)]


def script_diff(module, script, header):
    if not module._diff:
        return {}
    return dict(diff=dict(before='', after=script, before_header=header, after_header=header))


def present(module, installer, result):
    rc, script, err = installer.run('--print-script')
    if rc != 0:
        installer.fail('The bundle cannot be installed', rc, script, err)
    products, with_user_part = bundle_products(script)
    if not products:
        # Nothing to compare with would read as "all installed".
        module.fail_json(msg='No product could be read from the install script --print-script '
                         'printed.', stdout=script)
    result['products'] = products
    journals = pending_journals(installer.environ)
    if module.check_mode and journals:
        result['reasons'] = ['an interrupted run is not finished: %s' % j for j in journals]
    else:
        installed = installer.installed()
        result['installed'] = installed
        reasons = missing_parts(products, with_user_part, installed, installer.version())
        if not reasons:
            rc, out, err = installer.run('--verify', *products)
            if rc != 0:
                reasons = ['--verify: %s' % line for line in out.splitlines()
                           if line and not VERIFIED.search(line)] or ['--verify failed']
        result['reasons'] = reasons
    if not result['reasons']:
        return result
    result['changed'] = True
    result.update(script_diff(module, script, 'install script'))
    if module.check_mode:
        return result
    rc, out, err = installer.run('--unattended', '--accept-license')
    result.update(rc=rc, stdout=out, stderr=err, log=log_path(err))
    if rc != 0:
        installer.fail(None, rc, out, err, products=products,
                       installed=installer.installed(after_failure=True))
    result['installed'] = installer.installed()
    return result


def absent(module, installer, result):
    wanted = module.params['products']
    journals = pending_journals(installer.environ)
    if module.check_mode and journals:
        result.update(changed=True, products=wanted or [],
                      msg='An interrupted run is not finished (%s); the next run undoes it.'
                      % ', '.join(journals))
        return result
    installed = installer.installed()
    result['installed'] = installed
    names = [p.get('product') for p in installed if isinstance(p, dict)]
    chosen = [n for n in names if n in wanted] if wanted else names
    result['products'] = chosen
    if not chosen:
        return result
    force = ['--force'] if module.params['force'] else []
    result['changed'] = True
    if module._diff or module.check_mode:
        script = installer.read('The uninstall script could not be composed',
                                '--print-uninstall-script', *(force + chosen))
        result.update(script_diff(module, script, 'uninstall script'))
    if module.check_mode:
        return result
    rc, out, err = installer.run('--uninstall', '--yes', *(force + chosen))
    result.update(rc=rc, stdout=out, stderr=err, log=log_path(err))
    if rc != 0:
        installer.fail(None, rc, out, err, products=chosen,
                       installed=installer.installed(after_failure=True))
    for line in err.splitlines():
        if line and not line.startswith('Log: '):
            module.warn(line)
    result['installed'] = installer.installed()
    return result


def checked_parameters(module):
    params = module.params
    path = params['installer']
    if params['state'] == 'present':
        if not params['accept_license']:
            module.fail_json(msg='The licence must be accepted before installing: read it with '
                             '"%s --license" and set accept_license: true.'
                             % ' '.join(shlex.quote(a) for a in Installer(module, path, {}).argv))
        for option in ('products', 'force'):
            if params[option]:
                module.fail_json(msg='%s goes with state=absent; an install puts in every '
                                 'product of the bundle.' % option)
    if not os.path.isfile(path) or not os.access(path, os.X_OK):
        module.fail_json(msg='The installer %s is not an executable file.' % path)
    if os.geteuid() == 0:
        problem = untrusted(path)
        if problem:
            module.fail_json(msg='Root will not run %s: %s.' % (path, problem))
    return os.path.realpath(path)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            installer=dict(type='path', default='/opt/quorvantic-installer/usr/bin/quorvantic-installer'),
            state=dict(type='str', default='present', choices=['present', 'absent']),
            accept_license=dict(type='bool', default=False),
            products=dict(type='list', elements='str'),
            force=dict(type='bool', default=False),
            user=dict(type='str'),
        ),
        supports_check_mode=True,
    )
    path = checked_parameters(module)
    environ = {}
    if module.params['user']:
        environ = user_environment(module, module.params['user'])
    # The installer's messages are read back (its "Log:" line): untranslated.
    os.environ.pop('LANGUAGE', None)
    environ.update(LC_ALL='C.UTF-8', LANG='C.UTF-8')
    installer = Installer(module, path, environ)
    result = dict(changed=False)
    if module.params['state'] == 'present':
        present(module, installer, result)
    else:
        absent(module, installer, result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
