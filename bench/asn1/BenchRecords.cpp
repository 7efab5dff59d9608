#include "bench/asn1/BenchRecords.h"

namespace BENCH {

using ASN1::makeTag;
using ASN1::UniversalTagClass;

namespace {
const char* const payloadNames[] = {"g711a", "g711u", "g723", "g729"};

const ASN1::AbstractData::InfoType* const hostInfos[] = {
    &ASN1::IA5String::theInfo, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 65535>::theInfo};
const int hostIds[] = {-1, -1};
const char* const hostNames[] = {"iaddr", "port"};

const ASN1::AbstractData::InfoType* const echoInfos[] = {
    &ASN1::Null::theInfo, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 255>::theInfo};
const char* const echoNames[] = {"off", "on"};

const ASN1::AbstractData::InfoType* const createInfos[] = {
    &Host::theInfo, &Host::theInfo, &Payload::theInfo, &ASN1::INTEGER::theInfo, &ASN1::BOOLEAN::theInfo,
    &Echo::theInfo, &Create::Digits::theInfo,
    &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 0xFFFFFFFFu>::theInfo};
const int createIds[] = {-1, 0, -1, 1, 2, -1, -1, 0};
const char* const createNames[] = {"dhost", "shost", "payload", "jitter", "vad", "echo", "digits", "ssrc"};

const ASN1::AbstractData::InfoType* const commandInfos[] = {
    &ASN1::Null::theInfo, &Create::theInfo, &ASN1::OCTET_STRING::theInfo};
const char* const commandNames[] = {"query", "create", "userData"};

const ASN1::AbstractData::InfoType* const messageInfos[] = {
    &ASN1::INTEGER::theInfo, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023>::theInfo, &Command::theInfo};
const int messageIds[] = {0, 1, -1};
const char* const messageNames[] = {"seq", "slot", "pdu"};
} // namespace

const Payload::InfoType Payload::theInfo = {
    {&ASN1::create<Payload>, makeTag(UniversalTagClass, 10)}, true, 3, payloadNames, 4, nullptr};
const Host::InfoType Host::theInfo = {
    {&ASN1::create<Host>, makeTag(UniversalTagClass, 16)}, false, hostInfos, hostIds, 2, 0, 0, nullptr, nullptr, hostNames};
const Echo::InfoType Echo::theInfo = {{&ASN1::create<Echo>, 0}, true, echoInfos, 2, 2, nullptr, echoNames};
const Create::InfoType Create::theInfo = {
    {&ASN1::create<Create>, makeTag(UniversalTagClass, 16)}, true, createInfos, createIds, 7, 1, 3, nullptr, nullptr,
    createNames};
const Command::InfoType Command::theInfo = {{&ASN1::create<Command>, 0}, true, commandInfos, 3, 3, nullptr, commandNames};
const Message::InfoType Message::theInfo = {
    {&ASN1::create<Message>, makeTag(UniversalTagClass, 16)}, false, messageInfos, messageIds, 3, 0, 2, nullptr,
    nullptr, messageNames};

} // namespace BENCH
