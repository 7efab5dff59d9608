// A controller-like message in the generated form: an envelope with two
// optional numbers and a CHOICE whose alternative carries a host address,
// enumerations, a nested CHOICE, a list and an octet string.
#pragma once

#include "asn1/Types.h"

namespace BENCH {

// Payload ::= ENUMERATED { g711a, g711u, g723, g729, ... }
class Payload : public ASN1::ENUMERATED {
public:
    enum NamedNumber { g711a, g711u, g723, g729 };
    static const InfoType theInfo;
    explicit Payload(const InfoType* info = &theInfo) : ENUMERATED(info) {}
};

// Host ::= SEQUENCE { iaddr IA5String, port INTEGER (0..65535) }
class Host : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    enum FieldIndex { e_iaddr, e_port };
    explicit Host(const InfoType* info = &theInfo) : SEQUENCE(info) {}
};

// Echo ::= CHOICE { off NULL, on INTEGER (0..255), ... }
class Echo : public ASN1::CHOICE {
public:
    static const InfoType theInfo;
    enum Choice { e_off, e_on };
    explicit Echo(const InfoType* info = &theInfo) : CHOICE(info) {}
};

// Create ::= SEQUENCE { dhost Host, shost Host OPTIONAL, payload Payload, jitter INTEGER OPTIONAL,
//   vad BOOLEAN OPTIONAL, echo Echo, digits SEQUENCE OF INTEGER, ..., ssrc INTEGER (0..4294967295) }
class Create : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    enum FieldIndex { e_dhost, e_shost, e_payload, e_jitter, e_vad, e_echo, e_digits, e_ssrc };
    enum OptionalId { o_shost, o_jitter, o_vad, o_ssrc };
    using Digits = ASN1::SEQUENCE_OF<ASN1::INTEGER>;
    explicit Create(const InfoType* info = &theInfo) : SEQUENCE(info) {}
};

// Command ::= CHOICE { query NULL, create Create, userData OCTET STRING, ... }
class Command : public ASN1::CHOICE {
public:
    static const InfoType theInfo;
    enum Choice { e_query, e_create, e_userData };
    explicit Command(const InfoType* info = &theInfo) : CHOICE(info) {}
};

// Message ::= SEQUENCE { seq INTEGER OPTIONAL, slot INTEGER (0..1023) OPTIONAL, pdu Command }
class Message : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    enum FieldIndex { e_seq, e_slot, e_pdu };
    enum OptionalId { o_seq, o_slot };
    explicit Message(const InfoType* info = &theInfo) : SEQUENCE(info) {}
};

} // namespace BENCH
