#!/usr/bin/env python3
"""What ansible-doc shows for the module must be what the module takes: each
option's name, type, default, choices and elements in DOCUMENTATION against
the argument_spec in main(), and every RETURN key documented with a type.

    docs_match.py MODULE.py DOC.json
    docs_match.py --role DEFAULTS.yml ROLE_DOC.json

DOC.json is `ansible-doc --json` of the module. With --role, the role's
defaults against the options `ansible-doc -t role --json` shows for its main
entry point. Prints one line per mismatch and exits 1 when there is any."""
import ast
import json
import sys


def literal(node):
    if isinstance(node, ast.Call) and getattr(node.func, 'id', '') == 'dict':
        return {k.arg: literal(k.value) for k in node.keywords}
    return ast.literal_eval(node)


def taken_options(source):
    for node in ast.walk(ast.parse(source)):
        if isinstance(node, ast.Call) and getattr(node.func, 'id', '') == 'AnsibleModule':
            for keyword in node.keywords:
                if keyword.arg == 'argument_spec':
                    return literal(keyword.value)
    raise SystemExit('no AnsibleModule(argument_spec=...) in the module')


def mismatches(taken_by_code, doc):
    options = doc['doc'].get('options', {})
    found = []
    for name in sorted(set(taken_by_code) ^ set(options)):
        found.append('%s: %s' % (name, 'not documented' if name in taken_by_code
                                 else 'documented, not taken'))
    for name in sorted(set(taken_by_code) & set(options)):
        for field, default in (('type', 'str'), ('default', None), ('choices', None),
                               ('elements', None), ('required', False)):
            taken = taken_by_code[name].get(field, default)
            shown = options[name].get(field, default)
            if taken != shown:
                found.append('%s: %s is %r in the code, %r in the documentation'
                             % (name, field, taken, shown))
        if not options[name].get('description'):
            found.append('%s: no description' % name)
    for name, value in sorted((doc.get('return') or {}).items()):
        if not value.get('type') or not value.get('description'):
            found.append('return %s: no type or description' % name)
    if not doc.get('examples', '').strip():
        found.append('no examples')
    return found


def role_mismatches(defaults, shown):
    options = next(iter(shown.values()))['entry_points']['main']['options']
    found = []
    for name in sorted(set(defaults) ^ set(options)):
        found.append('%s: %s' % (name, 'a default that is not documented' if name in defaults
                                 else 'documented without a default'))
    for name in sorted(set(defaults) & set(options)):
        if options[name].get('default') != defaults[name]:
            found.append('%s: the default is %r, the documentation says %r'
                         % (name, defaults[name], options[name].get('default')))
    return found


def main():
    if sys.argv[1] == '--role':
        import yaml
        defaults = yaml.safe_load(open(sys.argv[2], encoding='utf-8'))
        found = role_mismatches(defaults, json.load(open(sys.argv[3], encoding='utf-8')))
        for line in found:
            print('   ' + line)
        return 1 if found else 0
    source = open(sys.argv[1], encoding='utf-8').read()
    shown = json.load(open(sys.argv[2], encoding='utf-8'))
    doc = next(iter(shown.values()))
    found = mismatches(taken_options(source), doc)
    for line in found:
        print('   ' + line)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
