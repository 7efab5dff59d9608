"""The generator refuses schemas that disagree with what their pragmas state."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'gen'))

import generate  # noqa: E402
import schema  # noqa: E402

GOOD_A = '''-- A test module.
--@ types 3 SEQUENCE 1 CHOICE 1 ENUMERATED 1
A DEFINITIONS AUTOMATIC TAGS ::= BEGIN
Msg ::= SEQUENCE { seq INTEGER OPTIONAL, id Id, body Body, ..., extra B.Thing }
Body ::= CHOICE { first NULL, second-one INTEGER (0..7), ..., third IA5String (SIZE (1..4)) }
Id ::= ENUMERATED { first, second-one=8, third, ... }  --@ max 9
--@ names-of Body Id 3
END
'''
GOOD_B = '''--@ types 1 SEQUENCE 1 CHOICE 0 ENUMERATED 0
B DEFINITIONS AUTOMATIC TAGS ::= BEGIN
Thing ::= SEQUENCE { list SEQUENCE OF INTEGER (-128..127) }
END
'''


class SchemaChecks(unittest.TestCase):
    def load(self, a=GOOD_A, b=GOOD_B):
        with tempfile.TemporaryDirectory() as d:
            for name, text in (('A', a), ('B', b)):
                with open(os.path.join(d, name + '.asn'), 'w') as f:
                    f.write(text)
            return generate.load(d)

    def refused(self, message, a=GOOD_A, b=GOOD_B):
        with self.assertRaises(schema.SchemaError) as caught:
            self.load(a, b)
        self.assertIn(message, str(caught.exception))
        return str(caught.exception)

    def test_a_consistent_pair_loads_with_values_and_additions(self):
        a, _ = self.load()
        msg, body, id_ = a.types
        self.assertEqual([n.value for n in id_.names], [0, 8, 9])
        self.assertEqual([n.text for n in id_.names], ['first', 'second-one=8', 'third'])
        self.assertEqual(id_.max_value(), 9)
        self.assertEqual([m.addition for m in msg.members], [False, False, False, True])
        self.assertEqual(msg.members[3].type.target.module.name, 'B')
        self.assertEqual(len(body.root()), 2)

    def test_wrong_type_count_names_the_pragma_line(self):
        text = self.refused('the pragma states 4 (2, 1, 1)',
                            a=GOOD_A.replace('types 3 SEQUENCE 1', 'types 4 SEQUENCE 2'))
        self.assertIn('A.asn:2:', text)

    def test_wrong_or_missing_enumeration_maximum(self):
        self.refused('largest root value is 9, the pragma states 10',
                     a=GOOD_A.replace('--@ max 9', '--@ max 10'))
        self.refused('no "--@ max" pragma', a=GOOD_A.replace('--@ max 9', ''))

    def test_names_of_mismatch_in_name_or_count(self):
        self.refused('alternative 1 of Body is second-one, name 1 of Id is second',
                     a=GOOD_A.replace('second-one=8', 'second=8'))
        self.refused('Body has 3 alternatives and Id 3 names; 4 stated',
                     a=GOOD_A.replace('--@ names-of Body Id 3', '--@ names-of Body Id 4'))

    def test_dangling_references(self):
        self.refused('module B has no type Thin', a=GOOD_A.replace('B.Thing', 'B.Thin'))
        self.refused('no module C', a=GOOD_A.replace('B.Thing', 'C.Thing'))
        self.refused('module A has no type Bod', a=GOOD_A.replace('body Body', 'body Bod'))

    def test_malformed_definitions(self):
        self.refused('extension additions are optional by nature',
                     a=GOOD_A.replace('extra B.Thing', 'extra B.Thing OPTIONAL'))
        self.refused('an alternative cannot be OPTIONAL',
                     a=GOOD_A.replace('first NULL', 'first NULL OPTIONAL'))
        self.refused('not a 32-bit range', a=GOOD_A.replace('(0..7)', '(0..4294967296)'))
        self.refused('unknown pragma', a=GOOD_A.replace('--@ names-of', '--@ name-of'))
        self.refused('defined twice', a=GOOD_A.replace('Id ::=', 'Msg ::='))
        self.refused('given twice', a=GOOD_A.replace('second-one=8', 'first=8'))
        self.refused('missing END', a=GOOD_A.replace('END', ''))

    def test_generated_sources_follow_the_records(self):
        modules = self.load()
        files = dict(generate.sources(modules))
        self.assertEqual(sorted(files), ['A.h', 'A_1.cpp', 'AllModules.cpp', 'B.h', 'B_1.cpp'])
        header, unit = files['A.h'], files['A_1.cpp']
        self.assertIn('#include "asn1/modules/B.h"', header)
        self.assertIn('enum NamedNumber { first = 0, second_one = 8, third = 9 };', header)
        self.assertIn('void set_seq(int value) { includeOptionalField(o_seq, e_seq); ', header)
        self.assertIn('void set_extra(const ::B::Thing& value) { includeOptionalField(o_extra, e_extra); ',
                      header)
        # Records: extendable, root fields 3, additions 1, root optionals 1; choice 2 of 3;
        # enumeration maximum 9 with its value table.
        self.assertIn('true, infos + 0, ids + 0, 3, 1, 1, nullptr, nullptr, names + 0};', unit)
        self.assertIn('true, infos + 4, 2, 3, nullptr, names + 4};', unit)
        self.assertIn('true, 9u, names + 7, 3, values + 0};', unit)
        self.assertIn('ASN1::FixedConstraint, 1, 4u},\n    ASN1::IA5StringSet, 128, 7, 7, 8};', unit)
        self.assertIn('using INTEGER_m128_127 = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, -128, 127u>;',
                      files['B.h'])
        self.assertIn('&ASN1::SEQUENCE_OF<INTEGER_m128_127>::theInfo', files['B_1.cpp'])


if __name__ == '__main__':
    unittest.main()
