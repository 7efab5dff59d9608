// The generated modules as a whole: a filled value of every type survives
// aligned PER and value notation; the controller envelope's optional fields;
// objects the runtime builds are of their generated classes.
#include "asn1/CoderEnv.h"
#include "asn1/modules/HSP.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/ModuleTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using ASN1::AbstractData;

// Fills a value from its record: every optional field and extension addition
// present, lists of two, the alternative picked by `variant`, numbers inside
// their ranges.
class Filler {
public:
    explicit Filler(unsigned variant) : variant_(variant) {}

    void fill(AbstractData& value)
    {
        ++step_;
        if (auto* seq = dynamic_cast<ASN1::SEQUENCE*>(&value))
            fillSequence(*seq);
        else if (auto* choice = dynamic_cast<ASN1::CHOICE*>(&value))
            fillChoice(*choice, (variant_ + step_) % choice->info()->totalChoices);
        else if (auto* list = dynamic_cast<ASN1::SEQUENCE_OF_Base*>(&value))
            fillList(*list);
        else
            fillSimple(value);
    }

    void fillChoice(ASN1::CHOICE& choice, unsigned id)
    {
        ASSERT_TRUE(choice.setID(static_cast<int>(id)));
        fill(*choice.getSelection());
    }

private:
    void fillSequence(ASN1::SEQUENCE& seq)
    {
        for (unsigned i = 0; i < seq.fieldCount(); ++i) {
            const int id = seq.optionalIdOf(i);
            if (id >= 0)
                seq.includeOptionalField(static_cast<unsigned>(id), i);
            ASSERT_TRUE(seq.createField(i));
            fill(*seq.getField(i));
        }
    }

    void fillList(ASN1::SEQUENCE_OF_Base& list)
    {
        list.resize(2);
        for (unsigned i = 0; i < list.size(); ++i)
            fill(*list.elementAt(i));
    }

    void fillSimple(AbstractData& value)
    {
        if (auto* b = dynamic_cast<ASN1::BOOLEAN*>(&value)) {
            b->setValue(step_ % 2 == 0);
        } else if (auto* n = dynamic_cast<ASN1::INTEGER*>(&value)) {
            if (n->getConstraintType() == ASN1::Unconstrained) {
                n->setValue(step_ % 3 == 0 ? -129 : static_cast<int>(step_ * 97));
            } else {
                const unsigned span = n->getUpperLimit() - static_cast<unsigned>(n->getLowerLimit());
                n->setValue(static_cast<unsigned>(n->getLowerLimit()) + span / (2 + step_ % 5));
            }
        } else if (auto* e = dynamic_cast<ASN1::ENUMERATED*>(&value)) {
            e->setValue(static_cast<int>(e->getMaximum()));
        } else if (auto* s = dynamic_cast<ASN1::AbstractString*>(&value)) {
            s->setValue("gw" + std::to_string(step_));
        } else if (auto* o = dynamic_cast<ASN1::OCTET_STRING*>(&value)) {
            o->setValue("\x01\xff\x00", 1 + step_ % 3);
        } else if (auto* oid = dynamic_cast<ASN1::OBJECT_IDENTIFIER*>(&value)) {
            oid->components() = {1, 2, 840, step_};
        }
    }

    unsigned variant_;
    unsigned step_ = 0;
};

class Modules : public testing::Test {
protected:
    Modules() { MessageModules::registerAll(env_); }

    static std::vector<char> encode(const AbstractData& value, int rule = ASN1::CoderEnv::per_Aligned)
    {
        std::vector<char> out;
        EXPECT_GE(ASN1::CoderEnv(rule).encode(value, out), 0) << value.asValueNotation();
        return out;
    }

    static bool decode(const std::vector<char>& octets, AbstractData& value)
    {
        return ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).decode(octets.data(), octets.data() + octets.size(), value);
    }

    static std::string hex(const std::vector<char>& octets)
    {
        static const char digits[] = "0123456789abcdef";
        std::string out;
        for (char c : octets) {
            out += digits[static_cast<unsigned char>(c) >> 4];
            out += digits[c & 15];
        }
        return out;
    }

    void roundTrip(const std::string& name, const AbstractData& value)
    {
        SCOPED_TRACE(name + ":\n" + value.asValueNotation());
        const auto* info = value.info();
        std::unique_ptr<AbstractData> decoded(info->create(info));
        const std::vector<char> octets = encode(value);
        ASSERT_TRUE(decode(octets, *decoded)) << hex(octets);
        EXPECT_EQ(decoded->compare(value), 0) << hex(octets) << "\n" << decoded->asValueNotation();

        std::unique_ptr<AbstractData> read(info->create(info));
        ASSERT_TRUE(read->setFromValueNotation(value.asValueNotation()));
        EXPECT_EQ(read->compare(value), 0) << read->asValueNotation();
    }

    ASN1::CoderEnv env_;
};

TEST_F(Modules, everyTypeRoundTripsThroughAlignedPerAndValueNotation)
{
    unsigned types = 0;
    for (const auto& entry : env_.modules()) {
        const auto& table = dynamic_cast<const MessageModules::ModuleTable&>(*entry.second);
        for (const MessageModules::TypeEntry& type : table) {
            const std::string name = std::string(table.name()) + "." + type.name;
            std::unique_ptr<AbstractData> value(type.info->create(type.info));
            ++types;
            if (auto* choice = dynamic_cast<ASN1::CHOICE*>(value.get())) {
                // Each alternative once, extension alternatives included.
                for (unsigned id = 0; id < choice->info()->totalChoices; ++id) {
                    Filler(id).fillChoice(*choice, id);
                    roundTrip(name + " alternative " + std::to_string(id), *value);
                }
            } else {
                Filler(types).fill(*value);
                roundTrip(name, *value);
            }
        }
    }
    EXPECT_EQ(types, 107u + 169 + 50 + 19 + 157 + 21 + 3 + 36 + 14 + 11 + 2 + 1);
}

TEST_F(Modules, fieldsAndAlternativesAreBuiltAsTheirGeneratedClasses)
{
    LGCP::Message message;
    message.get_pdu().select_signal().select_trunkStatus().set_name("E1-0");
    const std::unique_ptr<AbstractData> copy(message.clone());
    ASSERT_NE(dynamic_cast<LGCP::Message*>(copy.get()), nullptr);

    LGCP::Message decoded;
    ASSERT_TRUE(decode(encode(message), decoded));
    const auto* pdu = dynamic_cast<const LGCP::PDU*>(decoded.getField(LGCP::Message::e_pdu));
    ASSERT_NE(pdu, nullptr);
    ASSERT_EQ(pdu->currentSelection(), LGCP::PDU::e_signal);
    const auto* signal = dynamic_cast<const LGCP::Signal*>(pdu->getSelection());
    ASSERT_NE(signal, nullptr);
    ASSERT_EQ(signal->currentSelection(), LGCP::Signal::e_trunkStatus);
    EXPECT_EQ(signal->get_trunkStatus().get_name().getValue(), "E1-0");
    EXPECT_NE(dynamic_cast<const ACP::TrunkStatus*>(signal->getSelection()), nullptr);
}

TEST_F(Modules, envelopeCarriesSeqAndSlotOnlyWhenSet)
{
    LGCP::Message message;
    message.get_pdu().select_command().select_query();
    EXPECT_EQ(hex(encode(message)), "0000"); // both presence bits 0, pdu 0, command 0

    message.set_seq(5);
    message.set_slot(3);
    EXPECT_EQ(hex(encode(message)), "c00105000300");

    LGCP::Message decoded;
    ASSERT_TRUE(decode(encode(message), decoded));
    EXPECT_TRUE(decoded.hasOptionalField(LGCP::Message::o_seq));
    EXPECT_EQ(decoded.get_seq().getValue(), 5);
    EXPECT_EQ(decoded.get_slot().getValue(), 3u);

    // Removing keeps the objects; the presence bits alone decide.
    message.removeOptionalField(LGCP::Message::o_seq);
    message.removeOptionalField(LGCP::Message::o_slot);
    EXPECT_EQ(hex(encode(message)), "0000");
    ASSERT_TRUE(decode(encode(message), decoded));
    EXPECT_FALSE(decoded.hasOptionalField(LGCP::Message::o_seq));
    EXPECT_FALSE(decoded.hasOptionalField(LGCP::Message::o_slot));
}

TEST_F(Modules, slotOutsideItsRangeIsRefusedOnEncodeButDecoded)
{
    LGCP::Message message;
    message.get_pdu().select_command().select_ping();
    message.set_slot(1023);
    EXPECT_EQ(hex(encode(message)), "4003ff18");

    message.set_slot(1024);
    std::vector<char> out;
    EXPECT_LT(ASN1::CoderEnv(ASN1::CoderEnv::per_Aligned).encode(message, out), 0);
    EXPECT_TRUE(out.empty());

    // The server answers such a slot with invalidSlot, so the decoder keeps it.
    const std::vector<char> frame = {0x40, 0x04, 0x00, 0x18};
    LGCP::Message decoded;
    ASSERT_TRUE(decode(frame, decoded));
    EXPECT_EQ(decoded.get_slot().getValue(), 1024u);
    EXPECT_EQ(decoded.get_pdu().get_command().currentSelection(), LGCP::Command::e_ping);
}

TEST_F(Modules, sparseEnumerationsCodeTheirValues)
{
    HSP::StandbyCommand command;
    command = HSP::StandbyCommand::active;
    EXPECT_EQ(command.get(), HSP::StandbyCommand::active);
    EXPECT_EQ(command.getValue(), 16);
    EXPECT_EQ(command.getMaximum(), 16u);
    EXPECT_EQ(command.asValueNotation(), "active=16");
    // Extensible, root value 16 in 0..16: extension bit 0, then five bits.
    EXPECT_EQ(hex(encode(command)), "40");

    LGCP::ErrorCause cause;
    ASSERT_TRUE(cause.setFromValueNotation("destroyInProgress"));
    EXPECT_EQ(cause.get(), LGCP::ErrorCause::destroyInProgress);
    EXPECT_EQ(hex(encode(cause)), "60"); // extension bit 0, then 12 in 0..12 as four bits
}

} // namespace

namespace {

// Decoded input decides the alternative: a caller asking for another one
// reads an empty stand-in, never the held object under a wrong type or id.
TEST_F(Modules, anAlternativeTheInputDidNotSelectReadsAsAnEmptyValue)
{
    LGCP::Message sent;
    sent.get_pdu().select_signal().select_receiver().select_active() = 7;
    LGCP::Message decoded;
    ASSERT_TRUE(decode(encode(sent), decoded));
    const LGCP::PDU& pdu = decoded.get_pdu();
    EXPECT_EQ(pdu.get_command().currentSelection(), -1);
    EXPECT_EQ(pdu.get_command().get_create().get_trunk().get_trunk().getValue(), 0u);
    EXPECT_EQ(pdu.get_signal().get_receiver().get_active().getValue(), 7);
    EXPECT_EQ(pdu.get_signal().get_transmitter().currentSelection(), -1) << "same class, other id";
    EXPECT_EQ(pdu.get_signal().get_receiver().get_inactive().compare(ASN1::Null()), 0);
}

} // namespace
