#!/usr/bin/env python3
"""What ansible-doc shows for the module must be what the module takes: each
option's name, type, default, choices and elements in DOCUMENTATION against
the argument_spec in main(), and every RETURN key documented with a type.

    docs_match.py MODULE.py DOC.json
    docs_match.py --role DEFAULTS.yml ARGUMENT_SPECS.yml

DOC.json is `ansible-doc --json` of the module. With --role, the role's
defaults against the options its argument_specs declare. Prints one line per
mismatch and exits 1 when there is any."""
import ast
import json
import sys


def literal(node):
    if isinstance(node, ast.Call) and getattr(node.func, 'id', '') == 'dict':
        return {k.arg: literal(k.value) for k in node.keywords}
    return ast.literal_eval(node)


def argument_spec(source):
    for node in ast.walk(ast.parse(source)):
        if isinstance(node, ast.Call) and getattr(node.func, 'id', '') == 'AnsibleModule':
            for keyword in node.keywords:
                if keyword.arg == 'argument_spec':
                    return literal(keyword.value)
    raise SystemExit('no AnsibleModule(argument_spec=...) in the module')


def mismatches(spec, doc):
    options = doc['doc'].get('options', {})
    found = []
    for name in sorted(set(spec) ^ set(options)):
        found.append('%s: %s' % (name, 'not documented' if name in spec else 'documented, not taken'))
    for name in sorted(set(spec) & set(options)):
        for field, default in (('type', 'str'), ('default', None), ('choices', None),
                               ('elements', None), ('required', False)):
            taken = spec[name].get(field, default)
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


def role_mismatches(defaults, specs):
    options = specs['argument_specs']['main']['options']
    found = []
    for name in sorted(set(defaults) ^ set(options)):
        found.append('%s: %s' % (name, 'a default without a spec' if name in defaults
                                 else 'a spec without a default'))
    for name in sorted(set(defaults) & set(options)):
        if options[name].get('default') != defaults[name]:
            found.append('%s: the default is %r, the spec says %r'
                         % (name, defaults[name], options[name].get('default')))
    return found


def main():
    if sys.argv[1] == '--role':
        import yaml
        found = role_mismatches(*(yaml.safe_load(open(p, encoding='utf-8')) for p in sys.argv[2:4]))
        for line in found:
            print('   ' + line)
        return 1 if found else 0
    source = open(sys.argv[1], encoding='utf-8').read()
    shown = json.load(open(sys.argv[2], encoding='utf-8'))
    doc = next(iter(shown.values()))
    found = mismatches(argument_spec(source), doc)
    for line in found:
        print('   ' + line)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
