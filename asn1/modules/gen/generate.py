#!/usr/bin/env python3
"""Generates the C++ message modules from the schema files.

    generate.py SCHEMA_DIR OUT_DIR           write the sources (only those that change)
    generate.py --list SCHEMA_DIR            print the names of the sources it writes

Every schema is parsed and checked (type counts, enumeration maximums, the
names-of pragma, cross-module references) before anything is written; a
mismatch ends the run with status 1 and one line naming file and line.
"""

import glob
import os
import sys

import emit
import schema


def load(schema_dir):
    paths = sorted(glob.glob(os.path.join(schema_dir, '*.asn')))
    if not paths:
        raise schema.SchemaError(schema_dir, 0, 'no schema files')
    modules = [schema.parse_file(p) for p in paths]
    for m, p in zip(modules, paths):
        if os.path.basename(p) != m.name + '.asn':
            raise schema.SchemaError(p, 1, 'module %s belongs in %s.asn' % (m.name, m.name))
        schema.check_module(m)
    schema.resolve(modules)
    return modules


def sources(modules):
    for m in modules:
        yield m.name + '.h', emit.header(m)
        yield from emit.units(m)
    yield 'AllModules.cpp', emit.all_modules(modules)


def write_if_changed(path, text):
    try:
        with open(path, encoding='utf-8') as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


def main(argv):
    try:
        if len(argv) == 3 and argv[1] == '--list':
            for name, _ in sources(load(argv[2])):
                print(name)
            return 0
        if len(argv) != 3:
            sys.stderr.write(__doc__)
            return 2
        out_dir = argv[2]
        os.makedirs(out_dir, exist_ok=True)
        for name, text in sources(load(argv[1])):
            write_if_changed(os.path.join(out_dir, name), text)
        return 0
    except schema.SchemaError as e:
        sys.stderr.write('generate.py: %s\n' % e)
        return 1


if __name__ == '__main__':
    sys.exit(main(sys.argv))
