#include "fuzz/AsnRoundTrip.h"

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "asn1/CoderEnv.h"
#include "asn1/Visitor.h"
#include "asn1/modules/ModuleTable.h"
#include "fuzz/Fuzz.h"

namespace Fuzz {

namespace {

// A list element with every optional field absent takes a bit or two of PER
// and a value object of a hundred octets or so: 128 of them (the most a
// list holds) from one octet-aligned length and 16 octets of presence bits.
constexpr std::size_t heapBase = 64 * 1024;
constexpr std::size_t heapPerOctet = 2048;

std::unique_ptr<ASN1::AbstractData> fresh(const ASN1::AbstractData& like) {
  return std::unique_ptr<ASN1::AbstractData>(like.info()->create(like.infoRecord()));
}

// An enumeration value without a name anywhere in a value: the writer
// prints its number, which the reader does not take.
class NamelessEnumeration : public ASN1::ConstVisitor {
public:
  using ConstVisitor::do_visit;
  bool do_visit(const ASN1::ENUMERATED& value) override {
    found = found || !value.getName();
    return true;
  }
  bool do_visit(const ASN1::CHOICE& value) override {
    return !value.getSelection() || value.getSelection()->accept(*this);
  }
  bool do_visit(const ASN1::SEQUENCE_OF_Base& value) override {
    for (unsigned i = 0; i < value.size(); ++i)
      if (!value.elementAt(i)->accept(*this)) return false;
    return true;
  }
  bool do_visit(const ASN1::OpenData& value) override { return !value.has_data() || value.get_data().accept(*this); }

  bool found = false;

protected:
  bool visitExtensionRoot(const ASN1::SEQUENCE& seq, int index) override { return field(seq, index); }
  bool visitKnownExtension(const ASN1::SEQUENCE& seq, int index) override { return field(seq, index); }

private:
  bool field(const ASN1::SEQUENCE& seq, int index) {
    const ASN1::AbstractData* value = seq.getField(unsigned(index));
    return !value || value->accept(*this);
  }
};

// The writer prints strings as they stand, and the reader leaves fields it
// is not given as they were (a fresh value's enumerations hold 0, which
// may have no name), so only text the reader produced is held to read
// back, and only when no enumeration lacks a name.
void checkText(const ASN1::AbstractData& value) {
  std::ostringstream out;
  if (value.print_on(out) != std::ios_base::goodbit) return;
  const auto again = fresh(value);
  if (again->setFromValueNotation(out.str()) && again->compare(value) == 0) return;
  NamelessEnumeration nameless;
  value.accept(nameless);
  expect(nameless.found, "the text of a value read from text reads back to an equal value");
}

}  // namespace

void roundTrip(ASN1::AbstractData& value, int rule, const uint8_t* data, std::size_t size) {
  ASN1::CoderEnv env(rule);
  bool decoded;
  {
    HeapWatch heap;
    if (rule == ASN1::CoderEnv::avn) {
      decoded = value.setFromValueNotation(text(data, size));
    } else {
      const char* first = reinterpret_cast<const char*>(data);
      decoded = env.decode(first, first + size, value);
    }
    heap.within(heapBase, heapPerOctet, size, "decoding");
  }
  if (!decoded) return;
  if (rule == ASN1::CoderEnv::avn) {
    checkText(value);
    return;
  }
  // Log lines print every decoded message.
  value.asValueNotation();

  std::vector<char> octets;
  if (env.encode(value, octets) < 0) {
    // Decoders do not range-check constrained numbers; the encoder refuses them.
    expect(!value.isValid(), "a decoded value within its constraints encodes again");
    return;
  }
  const auto again = fresh(value);
  expect(env.decode(octets.data(), octets.data() + octets.size(), *again), "the new encoding decodes");
  if (again->compare(value) != 0) {
    // BER reads ENUMERATED contents unsigned and writes them in two's
    // complement: a negative value (hostile input only) changes once.
    expect(rule == ASN1::CoderEnv::ber, "the new encoding decodes to an equal value");
    std::vector<char> settled;
    expect(env.encode(*again, settled) >= 0, "a value decoded from an encoding encodes");
    octets.swap(settled);
    expect(env.decode(octets.data(), octets.data() + octets.size(), value), "the new encoding decodes");
    expect(again->compare(value) == 0, "the value settles after one more round");
  }
  std::vector<char> second;
  expect(env.encode(*again, second) >= 0 && second == octets, "the value decoded again encodes the same");
}

ASN1::AbstractData* typeNamedBy(const uint8_t*& data, std::size_t& size) {
  static ASN1::CoderEnv modules;
  static const bool registered = (MessageModules::registerAll(modules), true);
  (void)registered;
  const void* end = std::memchr(data, '\n', size);
  if (!end) return nullptr;
  const std::size_t length = std::size_t(static_cast<const uint8_t*>(end) - data);
  const ASN1::AbstractData::InfoType* info = MessageModules::findType(modules, text(data, length));
  if (!info) return nullptr;
  data += length + 1;
  size -= length + 1;
  return info->create(info);
}

}  // namespace Fuzz
