// The generated modules as a whole: a filled value of every type and every
// alternative survives aligned PER and value notation, and a typed accessor
// of an alternative that decoded input did not select reads harmless
// defaults.
#include "asn1/modules/LGCP.h"
#include "asn1/modules/ModuleTable.h"
#include "asn1/tests/Support.h"

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

  void fill(AbstractData& value) {
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

  void fillChoice(ASN1::CHOICE& choice, unsigned id) {
    ASSERT_TRUE(choice.setID(static_cast<int>(id)));
    fill(*choice.getSelection());
  }

private:
  void fillSequence(ASN1::SEQUENCE& seq) {
    for (unsigned i = 0; i < seq.fieldCount(); ++i) {
      const int id = seq.optionalIdOf(i);
      if (id >= 0) seq.includeOptionalField(static_cast<unsigned>(id), i);
      ASSERT_TRUE(seq.createField(i));
      fill(*seq.getField(i));
    }
  }

  void fillList(ASN1::SEQUENCE_OF_Base& list) {
    list.resize(2);
    for (unsigned i = 0; i < list.size(); ++i) fill(*list.elementAt(i));
  }

  void fillSimple(AbstractData& value) {
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

  void roundTrip(const std::string& name, const AbstractData& value) {
    SCOPED_TRACE(name + ":\n" + value.asValueNotation());
    const auto* info = value.info();
    std::unique_ptr<AbstractData> decoded(info->create(info));
    const std::string octets = GWTEST::encode(value);
    ASSERT_TRUE(GWTEST::decode(octets, *decoded)) << octets;
    EXPECT_EQ(decoded->compare(value), 0) << octets << "\n" << decoded->asValueNotation();

    std::unique_ptr<AbstractData> read(info->create(info));
    ASSERT_TRUE(read->setFromValueNotation(value.asValueNotation()));
    EXPECT_EQ(read->compare(value), 0) << read->asValueNotation();
  }

  ASN1::CoderEnv env_;
};

TEST_F(Modules, everyTypeRoundTripsThroughAlignedPerAndValueNotation) {
  unsigned variant = 0;
  for (const auto& entry : env_.modules()) {
    const auto& table = dynamic_cast<const MessageModules::ModuleTable&>(*entry.second);
    for (const MessageModules::TypeEntry& type : table) {
      const std::string name = std::string(table.name()) + "." + type.name;
      std::unique_ptr<AbstractData> value(type.info->create(type.info));
      ++variant;
      if (auto* choice = dynamic_cast<ASN1::CHOICE*>(value.get())) {
        // Each alternative once, extension alternatives included.
        for (unsigned id = 0; id < choice->info()->totalChoices; ++id) {
          Filler(id).fillChoice(*choice, id);
          roundTrip(name + " alternative " + std::to_string(id), *value);
        }
      } else {
        Filler(variant).fill(*value);
        roundTrip(name, *value);
      }
    }
  }
}

// Decoded input decides the alternative: a caller asking for another one
// reads an empty stand-in, never the held object under a wrong type or id.
TEST_F(Modules, anAlternativeTheInputDidNotSelectReadsAsAnEmptyValue) {
  LGCP::Message sent;
  sent.get_pdu().select_signal().select_receiver().select_active() = 7;
  LGCP::Message decoded;
  ASSERT_TRUE(GWTEST::decode(GWTEST::encode(sent), decoded));
  const LGCP::PDU& pdu = decoded.get_pdu();
  EXPECT_EQ(pdu.get_command().currentSelection(), -1);
  EXPECT_EQ(pdu.get_command().get_create().get_trunk().get_trunk().getValue(), 0u);
  EXPECT_EQ(pdu.get_signal().get_receiver().get_active().getValue(), 7);
  EXPECT_EQ(pdu.get_signal().get_transmitter().currentSelection(), -1) << "same class, other id";
  EXPECT_EQ(pdu.get_signal().get_receiver().get_inactive().compare(ASN1::Null()), 0);
}

}  // namespace
