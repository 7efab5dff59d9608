"""Reads the message-module schema files and checks what their pragmas state.

The accepted syntax is the agreed ASN.1 subset (see ../README-schema): one
module per file, type assignments of SEQUENCE, CHOICE and ENUMERATED, fields
and alternatives of built-in types or references to named types.
"""

import re

UNSIGNED_MAX = 4294967295
SIGNED_MIN = -2147483648


class SchemaError(Exception):
    def __init__(self, path, line, text):
        super().__init__('%s:%d: %s' % (path, line, text))


# Built-in types with their record family; the generator maps each to a runtime record.
SIMPLE_TYPES = {
    'NULL': 'Null', 'BOOLEAN': 'BOOLEAN', 'GeneralizedTime': 'GeneralizedTime',
    'IA5String': 'IA5String', 'NumericString': 'NumericString',
    'PrintableString': 'PrintableString', 'VisibleString': 'VisibleString',
    'GeneralString': 'GeneralString', 'BMPString': 'BMPString',
}
TWO_WORD_TYPES = {('OCTET', 'STRING'): 'OCTET_STRING', ('BIT', 'STRING'): 'BIT_STRING',
                  ('OBJECT', 'IDENTIFIER'): 'OBJECT_IDENTIFIER'}
SIZED_TYPES = {'OCTET_STRING', 'BIT_STRING', 'IA5String', 'NumericString', 'PrintableString',
               'VisibleString', 'GeneralString', 'BMPString'}


class Builtin:
    """A built-in type, with a value range (INTEGER) or a size range (strings)."""

    def __init__(self, name, bounds=None):
        self.name = name
        self.bounds = bounds

    def key(self):
        return ('builtin', self.name, self.bounds)


class Ref:
    """A named type of this or another module."""

    def __init__(self, module, name, line):
        self.module = module
        self.name = name
        self.line = line
        self.target = None

    def key(self):
        return ('ref', self.module, self.name)


class ListOf:
    """SEQUENCE OF / SET OF an element type."""

    def __init__(self, element, is_set):
        self.element = element
        self.is_set = is_set

    def key(self):
        return ('set' if self.is_set else 'seq', self.element.key())


class Member:
    """A field of a SEQUENCE or an alternative of a CHOICE."""

    def __init__(self, name, type_, optional, addition, line):
        self.name = name
        self.type = type_
        self.optional = optional
        self.addition = addition
        self.line = line


class EnumName:
    def __init__(self, ident, text, value, addition):
        self.ident = ident
        self.text = text
        self.value = value
        self.addition = addition


class TypeDef:
    def __init__(self, module, name, kind, line):
        self.module = module
        self.name = name
        self.kind = kind
        self.line = line
        self.extensible = False
        self.members = []
        self.names = []
        self.stated_max = None

    def root(self):
        return [m for m in self.members if not m.addition]

    def additions(self):
        return [m for m in self.members if m.addition]

    def max_value(self):
        return max(n.value for n in self.names if not n.addition)


class Module:
    def __init__(self, name, path):
        self.name = name
        self.path = path
        self.types = []
        self.by_name = {}
        self.stated_counts = None
        self.counts_line = 0
        self.names_of = []


TOKEN = re.compile(r'''
    (?P<space>\s+)
  | (?P<pragma>--@[^\n]*)
  | (?P<comment>--[^\n]*)
  | (?P<punct>::=|\.\.\.|\.\.|[{}(),.=])
  | (?P<number>-?\d+)
  | (?P<ident>[A-Za-z][A-Za-z0-9_]*(?:-[A-Za-z0-9_]+)*)
''', re.VERBOSE)


def tokenize(path, text):
    tokens, pragmas = [], []
    line, pos = 1, 0
    while pos < len(text):
        m = TOKEN.match(text, pos)
        if not m:
            raise SchemaError(path, line, 'unexpected character %r' % text[pos])
        kind, value = m.lastgroup, m.group()
        if kind == 'pragma':
            pragmas.append((line, value[3:].split(), len(tokens)))
        elif kind in ('punct', 'number', 'ident'):
            tokens.append((kind, value, line))
        line += value.count('\n')
        pos = m.end()
    tokens.append(('end', '', line))
    return tokens, pragmas


class Parser:
    def __init__(self, path, text):
        self.path = path
        self.tokens, self.pragmas = tokenize(path, text)
        self.pos = 0

    def fail(self, text, line=None):
        raise SchemaError(self.path, line if line is not None else self.peek()[2], text)

    def peek(self, ahead=0):
        return self.tokens[min(self.pos + ahead, len(self.tokens) - 1)]

    def take(self):
        tok = self.peek()
        self.pos += 1
        return tok

    def expect(self, value):
        tok = self.take()
        if tok[1] != value:
            self.fail('expected "%s", found "%s"' % (value, tok[1] or 'end of file'), tok[2])
        return tok

    def ident(self, what):
        tok = self.take()
        if tok[0] != 'ident':
            self.fail('expected %s, found "%s"' % (what, tok[1] or 'end of file'), tok[2])
        return tok[1]

    def number(self):
        tok = self.take()
        if tok[0] != 'number':
            self.fail('expected a number, found "%s"' % tok[1], tok[2])
        return int(tok[1])

    def at(self, value):
        return self.peek()[1] == value

    def parse(self):
        name = self.ident('the module name')
        module = Module(name, self.path)
        header_line = self.peek()[2]
        for word in ('DEFINITIONS', 'AUTOMATIC', 'TAGS', '::=', 'BEGIN'):
            self.expect(word)
        while not self.at('END'):
            if self.peek()[0] == 'end':
                self.fail('missing END')
            self.assignment(module)
        self.expect('END')
        if self.peek()[0] != 'end':
            self.fail('text after END')
        self.apply_pragmas(module, header_line)
        return module

    def assignment(self, module):
        line = self.peek()[2]
        name = self.ident('a type name')
        self.expect('::=')
        kind = self.ident('SEQUENCE, CHOICE or ENUMERATED')
        if kind not in ('SEQUENCE', 'CHOICE', 'ENUMERATED'):
            self.fail('type %s: a module type is a SEQUENCE, CHOICE or ENUMERATED, not %s'
                      % (name, kind), line)
        if name in module.by_name:
            self.fail('type %s defined twice' % name, line)
        t = TypeDef(module, name, kind, line)
        if kind == 'ENUMERATED':
            self.enumerated(t)
        else:
            self.constructed(t)
        t.end_token = self.pos - 1
        module.types.append(t)
        module.by_name[name] = t

    def enumerated(self, t):
        self.expect('{')
        value, addition = -1, False
        while True:
            if self.at('...'):
                self.take()
                if t.extensible:
                    self.fail('%s: a second "..."' % t.name)
                t.extensible, addition = True, True
            else:
                ident = self.ident('an enumeration name')
                text = ident
                if self.at('='):
                    self.take()
                    value = self.number()
                    text = '%s=%d' % (ident, value)
                else:
                    value += 1
                if any(n.ident == ident for n in t.names):
                    self.fail('%s: name %s given twice' % (t.name, ident))
                t.names.append(EnumName(ident, text, value, addition))
            if self.at('}'):
                break
            self.expect(',')
        self.expect('}')
        if not any(not n.addition for n in t.names):
            self.fail('%s: no root names' % t.name, t.line)

    def constructed(self, t):
        self.expect('{')
        addition = False
        if self.at('}'):
            self.take()
            return
        while True:
            if self.at('...'):
                self.take()
                if t.extensible:
                    self.fail('%s: a second "..."' % t.name)
                t.extensible, addition = True, True
            else:
                line = self.peek()[2]
                name = self.ident('a field or alternative name')
                type_ = self.type_()
                optional = False
                if self.at('OPTIONAL'):
                    self.take()
                    if t.kind == 'CHOICE':
                        self.fail('%s: an alternative cannot be OPTIONAL' % t.name, line)
                    if addition:
                        self.fail('%s.%s: extension additions are optional by nature: '
                                  'no OPTIONAL' % (t.name, name), line)
                    optional = True
                if any(m.name == name for m in t.members):
                    self.fail('%s: %s given twice' % (t.name, name), line)
                t.members.append(Member(name, type_, optional, addition, line))
            if self.at('}'):
                break
            self.expect(',')
        self.expect('}')
        if t.kind == 'CHOICE' and not t.root():
            self.fail('%s: a CHOICE needs a root alternative' % t.name, t.line)

    def type_(self):
        line = self.peek()[2]
        word = self.ident('a type')
        if word in ('SEQUENCE', 'SET'):
            self.expect('OF')
            return ListOf(self.type_(), word == 'SET')
        if word == 'INTEGER':
            bounds = None
            if self.at('('):
                self.take()
                lo = self.number()
                self.expect('..')
                hi = self.number()
                self.expect(')')
                if lo < SIGNED_MIN or hi > UNSIGNED_MAX or lo > hi or (lo < 0 and hi > 2147483647):
                    self.fail('INTEGER (%d..%d): not a 32-bit range' % (lo, hi), line)
                bounds = (lo, hi)
            return Builtin('INTEGER', bounds)
        for (first, second), name in TWO_WORD_TYPES.items():
            if word == first:
                self.expect(second)
                return self.sized(Builtin(name), line)
        if word in SIMPLE_TYPES:
            return self.sized(Builtin(SIMPLE_TYPES[word]), line)
        if self.at('.'):
            self.take()
            return Ref(word, self.ident('a type name'), line)
        return Ref(None, word, line)

    def sized(self, builtin, line):
        if not self.at('('):
            return builtin
        if builtin.name not in SIZED_TYPES:
            self.fail('%s takes no size constraint' % builtin.name, line)
        self.take()
        self.expect('SIZE')
        self.expect('(')
        lo = self.number()
        hi = lo
        if self.at('..'):
            self.take()
            hi = self.number()
        self.expect(')')
        self.expect(')')
        if lo < 0 or lo > hi or hi > UNSIGNED_MAX:
            self.fail('SIZE (%d..%d): not a size range' % (lo, hi), line)
        builtin.bounds = (lo, hi)
        return builtin

    def apply_pragmas(self, module, header_line):
        enum_ends = {}
        for t in module.types:
            if t.kind == 'ENUMERATED':
                enum_ends[self.tokens[t.end_token][2]] = t
        for line, words, token_index in self.pragmas:
            if not words:
                self.fail('empty pragma', line)
            if words[0] == 'types':
                if line > header_line or module.stated_counts is not None:
                    self.fail('"--@ types" goes once, before the module header', line)
                if (len(words) != 8 or words[2::2] != ['SEQUENCE', 'CHOICE', 'ENUMERATED']
                        or not all(w.isdigit() for w in words[1::2])):
                    self.fail('expected "--@ types N SEQUENCE a CHOICE b ENUMERATED c"', line)
                module.stated_counts = tuple(int(w) for w in words[1::2])
                module.counts_line = line
            elif words[0] == 'max':
                t = enum_ends.get(line)
                if t is None or len(words) != 2 or not words[1].lstrip('-').isdigit():
                    self.fail('"--@ max N" follows the closing brace of an ENUMERATED', line)
                t.stated_max = int(words[1])
            elif words[0] == 'names-of':
                if len(words) != 4 or not words[3].isdigit() or line <= header_line:
                    self.fail('expected "--@ names-of CHOICE ENUMERATED N" inside the module', line)
                module.names_of.append((line, words[1], words[2], int(words[3])))
            else:
                self.fail('unknown pragma "--@ %s"' % words[0], line)


def parse_file(path):
    with open(path, encoding='utf-8') as f:
        return Parser(path, f.read()).parse()


def check_module(module):
    """The checks that need only the module itself."""
    if module.stated_counts is None:
        raise SchemaError(module.path, 1, 'module %s: no "--@ types" pragma' % module.name)
    counts = tuple(sum(1 for t in module.types if t.kind == k)
                   for k in ('SEQUENCE', 'CHOICE', 'ENUMERATED'))
    found = (len(module.types),) + counts
    if found != module.stated_counts:
        raise SchemaError(module.path, module.counts_line,
                          'module %s defines %d types (SEQUENCE %d, CHOICE %d, ENUMERATED %d); '
                          'the pragma states %d (%d, %d, %d)'
                          % ((module.name,) + found + module.stated_counts))
    for t in module.types:
        if t.kind != 'ENUMERATED':
            continue
        if t.stated_max is None:
            raise SchemaError(module.path, t.line, '%s: no "--@ max" pragma' % t.name)
        if t.max_value() != t.stated_max:
            raise SchemaError(module.path, t.line, '%s: the largest root value is %d, the pragma '
                              'states %d' % (t.name, t.max_value(), t.stated_max))
    for line, choice, enum, count in module.names_of:
        c, e = module.by_name.get(choice), module.by_name.get(enum)
        if c is None or c.kind != 'CHOICE' or e is None or e.kind != 'ENUMERATED':
            raise SchemaError(module.path, line, 'names-of: %s is no CHOICE or %s no ENUMERATED '
                              'of module %s' % (choice, enum, module.name))
        alts, names = [m.name for m in c.members], [n.ident for n in e.names]
        if len(alts) != count or len(names) != count:
            raise SchemaError(module.path, line, 'names-of: %s has %d alternatives and %s %d names;'
                              ' %d stated' % (choice, len(alts), enum, len(names), count))
        for i, (a, n) in enumerate(zip(alts, names)):
            if a != n:
                raise SchemaError(module.path, line, 'names-of: alternative %d of %s is %s, name %d '
                                  'of %s is %s' % (i, choice, a, i, enum, n))


def resolve(modules):
    """Binds every type reference to its definition; fails on a dangling one."""
    by_module = {m.name: m for m in modules}

    def bind(t, type_):
        if isinstance(type_, ListOf):
            bind(t, type_.element)
        elif isinstance(type_, Ref):
            target_module = by_module.get(type_.module or t.module.name)
            if target_module is None:
                raise SchemaError(t.module.path, type_.line, '%s: no module %s'
                                  % (t.name, type_.module))
            target = target_module.by_name.get(type_.name)
            if target is None:
                raise SchemaError(t.module.path, type_.line, '%s: module %s has no type %s'
                                  % (t.name, target_module.name, type_.name))
            type_.target = target

    for m in modules:
        for t in m.types:
            for member in t.members:
                bind(t, member.type)
