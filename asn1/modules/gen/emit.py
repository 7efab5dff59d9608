"""Emits the C++ of the message modules against the runtime in asn1/Types.h.

Per module: one header with a thin value class per type (typed accessors
inline) and a few translation units holding the constant type records, the
destructors and the module's type table.
"""

from schema import Builtin, ListOf, Ref, SchemaError

TYPES_PER_UNIT = 40

CPP_KEYWORDS = set('''
alignas alignof and and_eq asm auto bitand bitor bool break case catch char char16_t char32_t
class compl const constexpr const_cast continue decltype default delete do double dynamic_cast
else enum explicit export extern false float for friend goto if inline int long mutable namespace
new noexcept not not_eq nullptr operator or or_eq private protected public register
reinterpret_cast return short signed sizeof static static_assert static_cast struct switch
template this thread_local throw true try typedef typeid typename union unsigned using virtual
void volatile wchar_t while xor xor_eq NULL
'''.split())

# Members of the runtime's ENUMERATED an enumeration constant must not hide.
ENUM_MEMBERS = {'InfoType', 'theInfo', 'NamedNumber', 'info', 'get', 'getValue', 'setValue', 'extendable',
                'getMaximum', 'getName', 'setFromName', 'compare', 'clone', 'accept',
                'do_compare', 'do_clone', 'do_accept', 'asValueNotation', 'print_on',
                'setFromValueNotation', 'get_from', 'infoRecord', 'getTag'}

STRING_RECORDS = {
    'IA5String': ('ASN1::IA5String', '&ASN1::IA5String::theInfo'),
    'NumericString': ('ASN1::AbstractString', '&ASN1::AbstractString::NumericStringInfo'),
    'PrintableString': ('ASN1::AbstractString', '&ASN1::AbstractString::PrintableStringInfo'),
    'VisibleString': ('ASN1::AbstractString', '&ASN1::AbstractString::VisibleStringInfo'),
    'GeneralString': ('ASN1::AbstractString', '&ASN1::AbstractString::GeneralStringInfo'),
}
# Character set, its size, code bits, unaligned and aligned bits of each string kind.
STRING_SETS = {
    'IA5String': ('ASN1::IA5StringSet', 128, 7, 7, 8),
    'NumericString': ('ASN1::NumericStringSet', 11, 4, 4, 4),
    'PrintableString': ('ASN1::PrintableStringSet', 74, 7, 7, 8),
    'VisibleString': ('ASN1::VisibleStringSet', 95, 7, 7, 8),
    'GeneralString': ('ASN1::GeneralStringSet', 256, 8, 8, 8),
}
STRING_TAGS = {'IA5String': 22, 'NumericString': 18, 'PrintableString': 19, 'VisibleString': 26,
               'GeneralString': 27}
PLAIN_CLASSES = {'Null', 'BOOLEAN', 'OCTET_STRING', 'BIT_STRING', 'OBJECT_IDENTIFIER',
                 'GeneralizedTime', 'BMPString'}
UNIVERSAL_TAG = {'SEQUENCE': 16, 'ENUMERATED': 10}


def cpp_name(name):
    ident = name.replace('-', '_')
    return ident + '_' if ident in CPP_KEYWORDS else ident


def qualified(t):
    return '::%s::%s' % (t.module.name, t.name)


def integer_alias(bounds):
    lo, hi = bounds
    return 'INTEGER_%s%d_%d' % ('m' if lo < 0 else '', abs(lo), hi)


def integer_class(bounds):
    lo, hi = bounds
    return 'ASN1::Constrained_INTEGER<ASN1::FixedConstraint, %d, %du>' % (lo, hi)


def integer_aliases(module):
    """One short name per INTEGER range the module uses."""
    ranges = set()

    def walk(type_):
        if isinstance(type_, ListOf):
            walk(type_.element)
        elif isinstance(type_, Builtin) and type_.name == 'INTEGER' and type_.bounds:
            ranges.add(type_.bounds)

    for t in module.types:
        for m in t.members:
            walk(m.type)
    for bounds in sorted(ranges):
        if integer_alias(bounds) in module.by_name:
            raise SchemaError(module.path, 1, 'the type name %s is reserved' % integer_alias(bounds))
    return ''.join('using %s = %s;\n' % (integer_alias(b), integer_class(b)) for b in sorted(ranges))


def value_class(type_, where):
    """The C++ class of values of a field, alternative or element type."""
    if isinstance(type_, Ref):
        return qualified(type_.target)
    if isinstance(type_, ListOf):
        template = 'SET_OF' if type_.is_set else 'SEQUENCE_OF'
        element = type_.element
        if isinstance(element, Builtin) and element.bounds and element.name != 'INTEGER':
            raise SchemaError(where.module.path, where.line,
                              '%s: a size-constrained element type needs a named type' % where.name)
        return 'ASN1::%s<%s>' % (template, value_class(element, where))
    if type_.name == 'INTEGER':
        return integer_alias(type_.bounds) if type_.bounds else 'ASN1::INTEGER'
    if type_.name in STRING_RECORDS:
        return STRING_RECORDS[type_.name][0]
    return 'ASN1::' + type_.name


def needs_own_record(type_):
    return isinstance(type_, Builtin) and type_.bounds is not None and type_.name != 'INTEGER'


def record_of(type_, where, own_record_name):
    if needs_own_record(type_):
        return '&' + own_record_name
    if isinstance(type_, Builtin) and type_.name in STRING_RECORDS:
        return STRING_RECORDS[type_.name][1]
    return '&%s::theInfo' % value_class(type_, where)


def own_record(type_, name):
    """The record of a size-constrained string or octet string field."""
    lo, hi = type_.bounds
    if type_.name in STRING_SETS:
        charset, size, code, ubits, abits = STRING_SETS[type_.name]
        return ('const ASN1::AbstractString::InfoType %s = {\n'
                '    {{&ASN1::create<%s>, ASN1::makeTag(ASN1::UniversalTagClass, %d)},\n'
                '     ASN1::FixedConstraint, %d, %du},\n'
                '    %s, %d, %d, %d, %d};\n'
                % (name, STRING_RECORDS[type_.name][0], STRING_TAGS[type_.name], lo, hi,
                   charset, size, code, ubits, abits))
    tags = {'OCTET_STRING': 4, 'BIT_STRING': 3}
    if type_.name not in tags:
        raise SchemaError('', 0, '%s takes no size constraint here' % type_.name)
    return ('const ASN1::ConstrainedObject::InfoType %s = {\n'
            '    {&ASN1::create<ASN1::%s>, ASN1::makeTag(ASN1::UniversalTagClass, %d)},\n'
            '    ASN1::FixedConstraint, %d, %du};\n' % (name, type_.name, tags[type_.name], lo, hi))


def asn1_line(t):
    """The definition as one ASN.1 line, written above the class."""
    def show(type_):
        if isinstance(type_, Ref):
            return type_.name if type_.module is None else '%s.%s' % (type_.module, type_.name)
        if isinstance(type_, ListOf):
            return '%s OF %s' % ('SET' if type_.is_set else 'SEQUENCE', show(type_.element))
        text = {'OCTET_STRING': 'OCTET STRING', 'BIT_STRING': 'BIT STRING',
                'OBJECT_IDENTIFIER': 'OBJECT IDENTIFIER', 'Null': 'NULL'}.get(type_.name, type_.name)
        if type_.bounds:
            lo, hi = type_.bounds
            text += ' (%d..%d)' % (lo, hi) if type_.name == 'INTEGER' else ' (SIZE (%d..%d))' % (lo, hi)
        return text

    if t.kind == 'ENUMERATED':
        items = [n.text for n in t.names if not n.addition]
        if t.extensible:
            items += ['...'] + [n.text for n in t.names if n.addition]
    else:
        items = ['%s %s%s' % (m.name, show(m.type), ' OPTIONAL' if m.optional else '')
                 for m in t.root()]
        if t.extensible:
            items += ['...'] + ['%s %s' % (m.name, show(m.type)) for m in t.additions()]
    return '%s ::= %s { %s }' % (t.name, t.kind, ', '.join(items))


def wrap(pieces, first, rest):
    """Pieces on lines of at most 100 columns, a blank between two on a line."""
    lines, line = [], first
    for piece in pieces:
        if len(line) + len(piece) > 100 and line not in (first, rest):
            lines.append(line.rstrip())
            line = rest
        line += piece + ' '
    lines.append(line.rstrip())
    return '\n'.join(lines) + '\n'


def wrap_comment(text):
    return wrap(text.split(' '), '// ', '//   ')


def optional_ids(t):
    """Optional id of each member of a SEQUENCE (None for mandatory root fields)."""
    ids, next_id = [], 0
    for m in t.members:
        if m.optional or m.addition:
            ids.append(next_id)
            next_id += 1
        else:
            ids.append(None)
    return ids


def check_unique(t, names):
    seen = set()
    for n in names:
        if n in seen:
            raise SchemaError(t.module.path, t.line, '%s: two members map to the C++ name %s'
                              % (t.name, n))
        seen.add(n)


def ordered_types(module):
    """The module's types, each after the types of this module it contains."""
    done, order = set(), []

    def deps(type_):
        if isinstance(type_, ListOf):
            return deps(type_.element)
        if isinstance(type_, Ref) and type_.target.module is module:
            return [type_.target]
        return []

    def visit(t, path):
        if t.name in done:
            return
        if t.name in path:
            raise SchemaError(module.path, t.line, '%s contains itself' % t.name)
        for m in t.members:
            for d in deps(m.type):
                visit(d, path | {t.name})
        done.add(t.name)
        order.append(t)

    for t in module.types:
        visit(t, set())
    return order


# Fields a SEQUENCE's presence map of 64 adopted fields can hold.
MAX_MEMBER_FIELDS = 64


def member_kind(type_):
    """Can a mandatory field of this type be a member of its SEQUENCE's class?
    Kinds whose class, made with no arguments, is on the field's record (a
    bounded INTEGER has a class of its own range), and whose values the
    runtime copies and exchanges in place."""
    if isinstance(type_, (Ref, ListOf)) or type_.name == 'INTEGER':
        return True
    return type_.name in ('BOOLEAN', 'Null', 'IA5String', 'OCTET_STRING') and type_.bounds is None


def plain_member(type_):
    return (isinstance(type_, Builtin) and type_.name in ('INTEGER', 'BOOLEAN', 'Null')) or \
        (isinstance(type_, Ref) and type_.target.kind == 'ENUMERATED')


def reserved_fields(t):
    """The optional root fields of plain kinds the generated class keeps a
    member for, taken when the field is made: (index, C++ name) in field order."""
    return [(i, cpp_name(m.name)) for i, m in enumerate(t.members)
            if m.optional and not m.addition and i < MAX_MEMBER_FIELDS and plain_member(m.type)]


def member_fields(t):
    """The mandatory root fields the generated class holds as members:
    (index, C++ name) in field order."""
    return [(i, cpp_name(m.name)) for i, m in enumerate(t.members)
            if not m.optional and not m.addition and i < MAX_MEMBER_FIELDS and member_kind(m.type)]


def slots_argument(t):
    """The SEQUENCE constructor's arguments after the record: the slots, and
    whether the class holds every mandatory root field (the record makes none)."""
    held = {i for i, _ in member_fields(t)}
    made = any(not m.optional and not m.addition and i not in held for i, m in enumerate(t.members))
    return 'fieldSlots' if made else 'fieldSlots, true'


def sequence_class(t):
    out = []
    fields = [cpp_name(m.name) for m in t.members]
    check_unique(t, fields)
    ids = optional_ids(t)
    reserved = reserved_fields(t)
    members = sorted(member_fields(t) + reserved)
    # The field pointers live in the class (a base ahead of SEQUENCE), then
    # a slot per index up to the last optional field kept as a member.
    span = ', %d' % (reserved[-1][0] + 1) if reserved else ''
    slots = 'private ASN1::FieldSlots<%d%s>, ' % (len(fields), span) if fields else ''
    out.append('class %s : %spublic ASN1::SEQUENCE {\npublic:\n' % (t.name, slots))
    out.append('    static const InfoType theInfo;\n')
    if fields:
        out.append('    enum FieldIndex { %s };\n' % ', '.join('e_' + f for f in fields))
    optional = [(f, i) for f, i in zip(fields, ids) if i is not None]
    if optional:
        out.append('    enum OptionalId { %s };\n' % ', '.join('o_%s = %d' % (f, i) for f, i in optional))
    if members:
        # Out of line (its record's factory would take a copy of it), so the
        # member fields are built by one copy of the code. A copy takes its
        # fields from the SEQUENCE's copy; assignment copies member values.
        out.append('    [[gnu::noinline]] explicit %s(const InfoType* info = &theInfo);\n' % t.name)
        out.append('    %s(const %s& other) : FieldSlots(other), SEQUENCE(other) {}\n' % (t.name, t.name))
        out.append('    %s& operator=(const %s& other)\n    {\n        SEQUENCE::operator=(other);\n'
                   '        return *this;\n    }\n' % (t.name, t.name))
    else:
        out.append('    explicit %s(const InfoType* info = &theInfo) : SEQUENCE(%s) {}\n'
                   % (t.name, 'info, ' + slots_argument(t) if fields else 'info'))
    out.append('    ~%s() override;\n' % t.name)
    for m, f, oid in zip(t.members, fields, ids):
        cls = value_class(m.type, t)
        out.append('    const %s& get_%s() const { return field<%s>(e_%s); }\n' % (cls, f, cls, f))
        out.append('    %s& get_%s() { return field<%s>(e_%s); }\n' % (cls, f, cls, f))
        include = 'includeOptionalField(o_%s, e_%s); ' % (f, f) if oid is not None else ''
        param, body = setter(m.type, cls)
        if param is None:
            if include:
                out.append('    void set_%s() { %s}\n' % (f, include))
            continue
        out.append('    void set_%s(%s value) { %sfield<%s>(e_%s)%s; }\n'
                   % (f, param, include, cls, f, body))
    if members:
        out.append('\nprivate:\n')
        for i, name in members:
            out.append('    %s %s_;\n' % (value_class(t.members[i].type, t), name))
    out.append('};\n')
    return ''.join(out)


def member_functions(t):
    """The constructor of a class holding member fields."""
    reserved = reserved_fields(t)
    members = sorted(member_fields(t) + reserved)
    if not members:
        return ''
    adopt = ''.join('    %s(e_%s, %s_);\n' % ('reserve' if (i, name) in reserved else 'adopt', name, name)
                    for i, name in members)
    return '%s::%s(const InfoType* info) : SEQUENCE(info, %s)\n{\n%s}\n' % (t.name, t.name, slots_argument(t),
                                                                            adopt)


def setter(type_, cls):
    """Parameter type and the operation that stores it; (None, None) for NULL."""
    if isinstance(type_, Builtin):
        if type_.name == 'Null':
            return None, None
        if type_.name == 'INTEGER':
            unsigned = type_.bounds is not None and type_.bounds[0] >= 0
            return ('unsigned' if unsigned else 'int'), '.setValue(value)'
        if type_.name == 'BOOLEAN':
            return 'bool', '.setValue(value)'
        if type_.name in STRING_RECORDS:
            return 'const std::string&', '.setValue(value)'
        if type_.name == 'OCTET_STRING':
            return 'const std::string&', ' = value'
        return 'const %s&' % cls, ' = value'
    if isinstance(type_, Ref) and type_.target.kind == 'ENUMERATED':
        return '%s::NamedNumber' % cls, '.setValue(value)'
    return 'const %s&' % cls, ' = value'


def choice_class(t):
    out = []
    alts = [cpp_name(m.name) for m in t.members]
    check_unique(t, alts)
    out.append('class %s : public ASN1::CHOICE {\npublic:\n' % t.name)
    out.append('    static const InfoType theInfo;\n')
    out.append('    enum Alternative { %s };\n' % ', '.join('e_' + a for a in alts))
    out.append('    explicit %s(const InfoType* info = &theInfo) : CHOICE(info) {}\n' % t.name)
    out.append('    ~%s() override;\n' % t.name)
    for m, a in zip(t.members, alts):
        cls = value_class(m.type, t)
        out.append('    %s& select_%s() { return select<%s>(e_%s); }\n' % (cls, a, cls, a))
        out.append('    const %s& get_%s() const { return selection<%s>(e_%s); }\n' % (cls, a, cls, a))
    out.append('};\n')
    return ''.join(out)


def enum_constant(t, ident):
    name = cpp_name(ident)
    return name + '_' if name in ENUM_MEMBERS or name == t.name else name


def enumerated_class(t):
    constants = ['%s = %d' % (enum_constant(t, n.ident), n.value) for n in t.names]
    check_unique(t, [c.split(' ')[0] for c in constants])
    out = ['class %s : public ASN1::ENUMERATED {\npublic:\n' % t.name,
           '    static const InfoType theInfo;\n',
           wrap(['enum NamedNumber {'] + [c + ',' for c in constants[:-1]] + [constants[-1], '};'],
                '    ', '        '),
           '    explicit %s(const InfoType* info = &theInfo) : ENUMERATED(info) {}\n' % t.name,
           '    ~%s() override;\n' % t.name,
           '    using ASN1::ENUMERATED::operator=;\n',
           '    NamedNumber get() const { return static_cast<NamedNumber>(getValue()); }\n',
           '};\n']
    return ''.join(out)


def module_deps(module):
    names = set()

    def walk(type_):
        if isinstance(type_, ListOf):
            walk(type_.element)
        elif isinstance(type_, Ref) and type_.target.module is not module:
            names.add(type_.target.module.name)

    for t in module.types:
        for m in t.members:
            walk(m.type)
    return sorted(names)


def generated_banner(module):
    return '// Generated by asn1/modules/gen/generate.py from %s.asn: do not edit.\n' % module.name


def header(module):
    if any(t.name == 'moduleTable' for t in module.types):
        raise SchemaError(module.path, 1, 'the type name moduleTable is reserved')
    out = [generated_banner(module), '#pragma once\n\n', '#include "asn1/Types.h"\n',
           '#include "asn1/modules/ModuleTable.h"\n']
    out += ['#include "asn1/modules/%s.h"\n' % d for d in module_deps(module)]
    out.append('\n#include <string>\n\nnamespace %s {\n' % module.name)
    aliases = integer_aliases(module)
    if aliases:
        out.append('\n' + aliases)
    for t in ordered_types(module):
        out.append('\n' + wrap_comment(asn1_line(t)))
        out.append({'SEQUENCE': sequence_class, 'CHOICE': choice_class,
                    'ENUMERATED': enumerated_class}[t.kind](t))
    out.append('\n// The types of this module by name.\n'
               'MessageModules::ModuleTable& moduleTable();\n\n} // namespace %s\n' % module.name)
    return ''.join(out)


class UnitTables:
    """The side tables shared by the records of one translation unit."""

    def __init__(self):
        self.infos, self.ids, self.names, self.values, self.own = [], [], [], [], []

    def add(self, table, items):
        start = len(table)
        table.extend(items)
        return start

    def emit(self):
        out = ['namespace {\n\n']
        out += self.own
        if self.own:
            out.append('\n')
        for decl, items in (('const ASN1::AbstractData::InfoType* const infos[]', self.infos),
                            ('const int ids[]', self.ids),
                            ('const char* const names[]', self.names),
                            ('const int values[]', self.values)):
            if items:
                out.append('%s = {\n%s};\n' % (decl, ''.join('    %s,\n' % i for i in items)))
        out.append('\n} // namespace\n\n')
        return ''.join(out)


def record(t, tables):
    if t.kind == 'ENUMERATED':
        texts = ['"%s"' % n.text for n in t.names]
        start = tables.add(tables.names, texts)
        plain = all(n.value == i for i, n in enumerate(t.names))
        values = 'nullptr' if plain else 'values + %d' % tables.add(
            tables.values, [str(n.value) for n in t.names])
        return ('const %s::InfoType %s::theInfo = {\n'
                '    {&ASN1::create<%s>, ASN1::makeTag(ASN1::UniversalTagClass, 10)},\n'
                '    %s, %du, names + %d, %d, %s};\n'
                % (t.name, t.name, t.name, 'true' if t.extensible else 'false', t.max_value(),
                   start, len(t.names), values))
    infos = []
    for m in t.members:
        own_name = '%s_%s' % (t.name, cpp_name(m.name))
        if needs_own_record(m.type):
            tables.own.append(own_record(m.type, own_name))
        infos.append(record_of(m.type, t, own_name))
    members = bool(t.members)
    info_at = 'infos + %d' % tables.add(tables.infos, infos) if members else 'nullptr'
    names_at = 'names + %d' % tables.add(tables.names, ['"%s"' % m.name for m in t.members]) \
        if members else 'nullptr'
    extendable = 'true' if t.extensible else 'false'
    if t.kind == 'CHOICE':
        return ('const %s::InfoType %s::theInfo = {\n'
                '    {&ASN1::create<%s>, 0},\n'
                '    %s, %s, %d, %d, nullptr, %s};\n'
                % (t.name, t.name, t.name, extendable, info_at, len(t.root()), len(t.members),
                   names_at))
    held = {i for i, _ in member_fields(t)}
    ids = [0 if m.addition else (i if m.optional else (-2 if k in held else -1))
           for k, (m, i) in enumerate(zip(t.members, optional_ids(t)))]
    ids_at = 'ids + %d' % tables.add(tables.ids, [str(i) for i in ids]) if members else 'nullptr'
    return ('const %s::InfoType %s::theInfo = {\n'
            '    {&ASN1::create<%s>, ASN1::makeTag(ASN1::UniversalTagClass, 16)},\n'
            '    %s, %s, %s, %d, %d, %d, nullptr, nullptr, %s};\n'
            % (t.name, t.name, t.name, extendable, info_at, ids_at, len(t.root()),
               len(t.additions()), sum(1 for m in t.root() if m.optional), names_at))


def units(module):
    """The translation units of a module: (file name, text)."""
    chunks = [module.types[i:i + TYPES_PER_UNIT]
              for i in range(0, len(module.types), TYPES_PER_UNIT)]
    result = []
    for k, chunk in enumerate(chunks, 1):
        tables = UnitTables()
        body = []
        for t in chunk:
            body.append('\n' + wrap_comment(asn1_line(t)))
            body.append(record(t, tables))
            if t.kind == 'SEQUENCE':
                body.append(member_functions(t))
            body.append('%s::~%s() = default;\n' % (t.name, t.name))
        if k == len(chunks):
            body.append(module_table(module))
        text = [generated_banner(module), '#include "asn1/modules/%s.h"\n\n' % module.name,
                'namespace %s {\n\n' % module.name, tables.emit()]
        text += body
        text.append('\n} // namespace %s\n' % module.name)
        result.append(('%s_%d.cpp' % (module.name, k), ''.join(text)))
    return result


def module_table(module):
    entries = ''.join('        {"%s", &%s::theInfo},\n' % (t.name, t.name) for t in module.types)
    return ('\nMessageModules::ModuleTable& moduleTable()\n{\n'
            '    static const MessageModules::TypeEntry types[] = {\n%s    };\n'
            '    static MessageModules::ModuleTable table("%s", types, %d);\n'
            '    return table;\n}\n' % (entries, module.name, len(module.types)))


def all_modules(modules):
    out = ['// Generated by asn1/modules/gen/generate.py: do not edit.\n']
    out += ['#include "asn1/modules/%s.h"\n' % m.name for m in modules]
    out.append('\nnamespace MessageModules {\n\nvoid registerAll(ASN1::CoderEnv& env)\n{\n')
    out += ['    env.modules()[%s::moduleTable().name()] = &%s::moduleTable();\n'
            % (m.name, m.name) for m in modules]
    out.append('}\n\n} // namespace MessageModules\n')
    return ''.join(out)
