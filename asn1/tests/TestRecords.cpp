#include "asn1/tests/TestRecords.h"

namespace GWTEST {

const char* const Colour_enum_names__[] = {"red", "green=5", "blue", "violet=20"};
static const int Colour_enum_values__[] = {0, 5, 6, 20};
const Colour::InfoType Colour::theInfo = {
    {&ASN1::create<Colour>, ASN1::makeTag(ASN1::UniversalTagClass, 10)},
    true, 6, Colour_enum_names__, 4, Colour_enum_values__};
Colour::~Colour() = default;

const ASN1::AbstractData::InfoType* const Inner::fieldInfos[] = {&ASN1::BOOLEAN::theInfo, &ASN1::IA5String::theInfo};
const int Inner::fieldIds[] = {-1, 0};
const char* const Inner::fieldNames[] = {"flag", "name"};
const Inner::InfoType Inner::theInfo = {
    {&ASN1::create<Inner>, ASN1::makeTag(ASN1::UniversalTagClass, 16)},
    false, fieldInfos, fieldIds, 2, 0, 1, nullptr, nullptr, fieldNames};
Inner::~Inner() = default;

const ASN1::AbstractData::InfoType* const Alt::selectionInfos[] = {
    &ASN1::Null::theInfo, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 255>::theInfo, &Inner::theInfo,
    &ASN1::IA5String::theInfo, nullptr};
const char* const Alt::selectionNames[] = {"none", "num", "inner", "text", "later"};
const Alt::InfoType Alt::theInfo = {
    {&ASN1::create<Alt>, 0}, true, selectionInfos, 3, 5, nullptr, selectionNames};
Alt::~Alt() = default;

const ASN1::AbstractData::InfoType* const Record::fieldInfos[] = {
    &ASN1::INTEGER::theInfo, &Slot::theInfo, &Alt::theInfo, &List::theInfo, &Colour::theInfo,
    &ASN1::OCTET_STRING::theInfo};
const int Record::fieldIds[] = {0, 1, -1, -1, 0, 0};
const char* const Record::fieldNames[] = {"seq", "slot", "alt", "list", "colour", "note"};
const Record::InfoType Record::theInfo = {
    {&ASN1::create<Record>, ASN1::makeTag(ASN1::UniversalTagClass, 16)},
    true, fieldInfos, fieldIds, 4, 2, 2, nullptr, nullptr, fieldNames};
Record::~Record() = default;

const char* const TrunkState_enum_names__[] = {"normal", "lossBF", "lossCarrier", "ais", "rai", "unknown", "disabled"};
const TrunkState::InfoType TrunkState::theInfo = {
    {&ASN1::create<TrunkState>, ASN1::makeTag(ASN1::UniversalTagClass, 10)}, false, 6, TrunkState_enum_names__, 7, nullptr};
TrunkState::~TrunkState() = default;

const char* const TrunkType_enum_names__[] = {"e1", "bri"};
const TrunkType::InfoType TrunkType::theInfo = {
    {&ASN1::create<TrunkType>, ASN1::makeTag(ASN1::UniversalTagClass, 10)}, true, 1, TrunkType_enum_names__, 2, nullptr};
TrunkType::~TrunkType() = default;

const ASN1::AbstractData::InfoType* const TrunkStatus::fieldInfos[] = {
    &ASN1::INTEGER::theInfo, &TrunkState::theInfo, &ASN1::INTEGER::theInfo, &ASN1::INTEGER::theInfo,
    &ASN1::INTEGER::theInfo, &ASN1::INTEGER::theInfo, &ASN1::INTEGER::theInfo, &ASN1::IA5String::theInfo,
    &ASN1::BOOLEAN::theInfo, &TrunkType::theInfo};
const int TrunkStatus::fieldIds[] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
const char* const TrunkStatus::fieldNames[] = {"trunk", "state", "slips", "lossBF", "lossCarrier",
                                               "lossAIS", "lossRAI", "name", "clockMaster", "type"};
const TrunkStatus::InfoType TrunkStatus::theInfo = {
    {&ASN1::create<TrunkStatus>, ASN1::makeTag(ASN1::UniversalTagClass, 16)},
    true, fieldInfos, fieldIds, 10, 0, 0, nullptr, nullptr, fieldNames};
TrunkStatus::~TrunkStatus() = default;

const ASN1::AbstractData::InfoType* const HostAddress::fieldInfos[] = {
    &ASN1::IA5String::theInfo, &ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 65535>::theInfo};
const int HostAddress::fieldIds[] = {-1, -1};
const char* const HostAddress::fieldNames[] = {"iaddr", "port"};
const HostAddress::InfoType HostAddress::theInfo = {
    {&ASN1::create<HostAddress>, ASN1::makeTag(ASN1::UniversalTagClass, 16)},
    false, fieldInfos, fieldIds, 2, 0, 0, nullptr, nullptr, fieldNames};
HostAddress::~HostAddress() = default;

const ASN1::AbstractData::InfoType* const Params::fieldInfos[] = {
    &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo,
    &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::INTEGER::theInfo,
    &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo,
    &ASN1::BOOLEAN::theInfo, &ASN1::BOOLEAN::theInfo};
const int Params::fieldIds[] = {0, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0};
const char* const Params::fieldNames[] = {"o0", "o1", "o2", "o3", "o4", "o5", "o6",
                                          "traceLevel", "x1", "x2", "x3", "x4", "x5", "vad"};
const Params::InfoType Params::theInfo = {
    {&ASN1::create<Params>, ASN1::makeTag(ASN1::UniversalTagClass, 16)},
    true, fieldInfos, fieldIds, 7, 7, 7, nullptr, nullptr, fieldNames};
Params::~Params() = default;

} // namespace GWTEST
