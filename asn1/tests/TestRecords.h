// A small message module written the way the generator emits one: a record
// per type as constant data and a thin class per type. The tests build
// their values and encodings from these.
#pragma once

#include "asn1/Types.h"

namespace GWTEST {

// Colour ::= ENUMERATED { red, green(5), blue, ..., violet(20) }
class Colour : public ASN1::ENUMERATED {
public:
    enum NamedNumber { red = 0, green = 5, blue = 6, violet = 20 };
    static const InfoType theInfo;
    explicit Colour(const InfoType* info = &theInfo) : ENUMERATED(info) {}
    ~Colour() override;
    Colour& operator=(NamedNumber value) { setValue(value); return *this; }
    NamedNumber get() const { return static_cast<NamedNumber>(getValue()); }
};
extern const char* const Colour_enum_names__[];

// Inner ::= SEQUENCE { flag BOOLEAN, name IA5String OPTIONAL }
class Inner : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const fieldInfos[];
    static const int fieldIds[];
    static const char* const fieldNames[];
    enum FieldIndex { e_flag, e_name };
    enum OptionalId { o_name };
    explicit Inner(const InfoType* info = &theInfo) : SEQUENCE(info) {}
    ~Inner() override;
    const ASN1::BOOLEAN& get_flag() const { return field<ASN1::BOOLEAN>(e_flag); }
    void set_flag(bool value) { field<ASN1::BOOLEAN>(e_flag).setValue(value); }
    const ASN1::IA5String& get_name() const { return field<ASN1::IA5String>(e_name); }
    void set_name(const std::string& value)
    {
        includeOptionalField(o_name, e_name);
        field<ASN1::IA5String>(e_name).setValue(value);
    }
};

// Alt ::= CHOICE { none NULL, num INTEGER (0..255), inner Inner, ..., text IA5String, later Later }
// (`later` is an extension alternative this build does not know: no record.)
class Alt : public ASN1::CHOICE {
public:
    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const selectionInfos[];
    static const char* const selectionNames[];
    enum Choice { e_none, e_num, e_inner, e_text, e_later };
    explicit Alt(const InfoType* info = &theInfo) : CHOICE(info) {}
    ~Alt() override;
    ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 255>& select_num()
    {
        return select<ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 255>>(e_num);
    }
    Inner& select_inner() { return select<Inner>(e_inner); }
    ASN1::IA5String& select_text() { return select<ASN1::IA5String>(e_text); }
};

// Record ::= SEQUENCE {
//   seq INTEGER OPTIONAL, slot INTEGER (0..1023) OPTIONAL, alt Alt,
//   list SEQUENCE OF INTEGER, ..., colour Colour, note OCTET STRING }
class Record : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const fieldInfos[];
    static const int fieldIds[];
    static const char* const fieldNames[];
    enum FieldIndex { e_seq, e_slot, e_alt, e_list, e_colour, e_note };
    enum OptionalId { o_seq, o_slot, o_colour, o_note };
    using Slot = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023>;
    using List = ASN1::SEQUENCE_OF<ASN1::INTEGER>;
    explicit Record(const InfoType* info = &theInfo) : SEQUENCE(info) {}
    ~Record() override;
    const ASN1::INTEGER& get_seq() const { return field<ASN1::INTEGER>(e_seq); }
    void set_seq(int value)
    {
        includeOptionalField(o_seq, e_seq);
        field<ASN1::INTEGER>(e_seq).setValue(value);
    }
    const Slot& get_slot() const { return field<Slot>(e_slot); }
    void set_slot(unsigned value)
    {
        includeOptionalField(o_slot, e_slot);
        field<Slot>(e_slot) = value;
    }
    const Alt& get_alt() const { return field<Alt>(e_alt); }
    Alt& ref_alt() { return field<Alt>(e_alt); }
    const List& get_list() const { return field<List>(e_list); }
    List& ref_list() { return field<List>(e_list); }
    const Colour& get_colour() const { return field<Colour>(e_colour); }
    void set_colour(Colour::NamedNumber value)
    {
        includeOptionalField(o_colour, e_colour);
        field<Colour>(e_colour) = value;
    }
    const ASN1::OCTET_STRING& get_note() const { return field<ASN1::OCTET_STRING>(e_note); }
    void set_note(const std::string& value)
    {
        includeOptionalField(o_note, e_note);
        field<ASN1::OCTET_STRING>(e_note) = value;
    }
};

// Status ::= ENUMERATED { normal, lossBF, lossCarrier, ais, rai, unknown, disabled }
class TrunkState : public ASN1::ENUMERATED {
public:
    enum NamedNumber { normal, lossBF, lossCarrier, ais, rai, unknown, disabled };
    static const InfoType theInfo;
    explicit TrunkState(const InfoType* info = &theInfo) : ENUMERATED(info) {}
    ~TrunkState() override;
};

// TrunkType ::= ENUMERATED { e1, bri, ... }
class TrunkType : public ASN1::ENUMERATED {
public:
    enum NamedNumber { e1, bri };
    static const InfoType theInfo;
    explicit TrunkType(const InfoType* info = &theInfo) : ENUMERATED(info) {}
    ~TrunkType() override;
};

// TrunkStatus ::= SEQUENCE { trunk INTEGER, state TrunkState, slips INTEGER, lossBF INTEGER,
//   lossCarrier INTEGER, lossAIS INTEGER, lossRAI INTEGER, name IA5String, clockMaster BOOLEAN,
//   type TrunkType, ... }
class TrunkStatus : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const fieldInfos[];
    static const int fieldIds[];
    static const char* const fieldNames[];
    enum FieldIndex { e_trunk, e_state, e_slips, e_lossBF, e_lossCarrier, e_lossAIS, e_lossRAI, e_name,
                      e_clockMaster, e_type };
    explicit TrunkStatus(const InfoType* info = &theInfo) : SEQUENCE(info) {}
    ~TrunkStatus() override;
};

// HostAddress ::= SEQUENCE { iaddr IA5String, port INTEGER (0..65535) }
class HostAddress : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const fieldInfos[];
    static const int fieldIds[];
    static const char* const fieldNames[];
    enum FieldIndex { e_iaddr, e_port };
    explicit HostAddress(const InfoType* info = &theInfo) : SEQUENCE(info) {}
    ~HostAddress() override;
};

// Params ::= SEQUENCE { o0 .. o6 BOOLEAN OPTIONAL, ..., traceLevel INTEGER, x1 .. x5 BOOLEAN, vad BOOLEAN }
// (the optional-field and addition layout of a terminal's parameters)
class Params : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const fieldInfos[];
    static const int fieldIds[];
    static const char* const fieldNames[];
    enum FieldIndex { e_o0, e_traceLevel = 7, e_vad = 13 };
    enum OptionalId { o_o0, o_traceLevel = 7, o_vad = 13 };
    explicit Params(const InfoType* info = &theInfo) : SEQUENCE(info) {}
    ~Params() override;
};

} // namespace GWTEST
