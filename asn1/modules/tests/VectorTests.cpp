// Every vector file: the value text reads, writes back unchanged and passes
// the validity check; it encodes to the aligned PER, unaligned PER and BER
// octets of its lines, and each of them decodes to the same value; the
// robustness frames fail or decode as they say. Mutated encodings of the
// vectors then never misbehave under any of the three rules.
#include "VectorFile.h"

#include "asn1/BerEncoder.h"
#include "asn1/Checker.h"
#include "asn1/modules/ModuleTable.h"
#include "asn1/tests/Support.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>

using ASN1::AbstractData;
using namespace GWTEST;

namespace {

std::vector<std::string> vectorFiles() {
  try {
    return VectorFile::listTextFiles(VectorFile::directory());
  } catch (const std::exception&) {
    return {};  // reported by VectorFilesFound
  }
}

std::string baseName(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  return name.substr(0, name.size() - 4);
}

// A vector's encoding under one rule: a seed of the mutations.
struct Sample {
  const AbstractData::InfoType* info;
  int rule;
  std::vector<char> octets;
};

class Vectors {
public:
  Vectors() { MessageModules::registerAll(env_); }

  std::unique_ptr<AbstractData> make(const std::string& type) const {
    const AbstractData::InfoType* info = MessageModules::findType(env_, type);
    return std::unique_ptr<AbstractData>(info ? info->create(info) : nullptr);
  }

  // One failure line per fault, naming the vector, so a failing file lists them all.
  void check(const VectorFile::Block& b) const {
    SCOPED_TRACE(b.id + " (" + b.type + ") " + b.file + ":" + std::to_string(b.line));
    const auto value = make(b.type);
    ASSERT_TRUE(value) << "no such type";
    if (!b.encoding.empty()) {
      checkFrame(b, *value);
      return;
    }
    ASSERT_TRUE(value->setFromValueNotation(b.value)) << "value text not read";
    EXPECT_EQ(value->asValueNotation(), b.value) << "written text differs";
    std::ostringstream trace;
    EXPECT_TRUE(ASN1::trace_invalid(trace, "invalid:", *value)) << trace.str();

    EXPECT_TRUE(b.hasBer || b.hasFlag("no-ber"));
    const struct {
      int rule;
      const std::string& octets;
    } encodings[] = {{aper, b.aper}, {uper, b.uper}, {ber, b.hasBer ? b.ber : std::string()}};
    for (const auto& e : encodings) {
      if (e.octets.empty()) continue;
      EXPECT_EQ(encode(*value, e.rule), e.octets) << "rule " << e.rule << ": octets differ";
      const auto decoded = make(b.type);
      EXPECT_TRUE(decode(e.octets, *decoded, e.rule)) << "rule " << e.rule << ": decode failed";
      EXPECT_EQ(decoded->compare(*value), 0) << "rule " << e.rule << ": decoded value differs:\n"
                                             << decoded->asValueNotation();
    }
    if (b.hasBer) {
      EXPECT_EQ(ASN1::getObjectLength(*value, ASN1::Ber::ownTag), b.ber.size() / 2);
    }
  }

private:
  void checkFrame(const VectorFile::Block& b, AbstractData& value) const {
    ASSERT_TRUE(b.encoding == "aper" || b.encoding == "ber") << b.encoding;
    const bool decoded = decode(b.data, value, b.encoding == "ber" ? ber : aper);
    if (b.expect == "decode-fails") {
      EXPECT_FALSE(decoded) << b.reason << "; decoded to:\n" << value.asValueNotation();
      return;
    }
    ASSERT_EQ(b.expect, "decode-ok");
    ASSERT_TRUE(decoded) << b.reason;
    const auto expected = make(b.type);
    ASSERT_TRUE(expected->setFromValueNotation(b.value));
    EXPECT_EQ(value.compare(*expected), 0) << "decoded to:\n" << value.asValueNotation();
  }

  ASN1::CoderEnv env_;
};

class VectorFiles : public testing::TestWithParam<std::string> {};

TEST_P(VectorFiles, readWriteEncodeAndDecodeAsGiven) {
  const Vectors vectors;
  for (const VectorFile::Block& b : VectorFile::read(GetParam())) vectors.check(b);
}

INSTANTIATE_TEST_SUITE_P(Shared, VectorFiles, testing::ValuesIn(vectorFiles()),
                         [](const testing::TestParamInfo<std::string>& info) { return baseName(info.param); });

TEST(VectorFilesFound, everyModuleHasItsFile) {
  ASSERT_NO_THROW(VectorFile::listTextFiles(VectorFile::directory()));
  std::vector<std::string> names;
  for (const std::string& path : vectorFiles()) names.push_back(baseName(path));
  for (const char* module :
       {"LGCP", "TERM", "ACP", "MON", "LEMZGW", "HSP", "BASE", "ROUTER", "YACP", "MEDIA", "CCP", "E2E", "robustness"})
    EXPECT_NE(std::find(names.begin(), names.end(), module), names.end())
        << module << " in " << VectorFile::directory();
}

// Bit flips, cuts and random frames fail cleanly, or decode to a value that,
// when valid, re-encodes to octets that decode to the same value (an invalid
// one, such as a number the decoder does not range-check, may not encode).
TEST(VectorMutations, failCleanlyOrRoundTrip) {
  const Vectors vectors;
  std::vector<Sample> samples;
  for (const std::string& path : vectorFiles())
    for (const VectorFile::Block& b : VectorFile::read(path)) {
      const auto value = vectors.make(b.type);
      if (!b.encoding.empty() || !value) continue;
      for (auto [rule, line] : {std::pair<int, const std::string&>{aper, b.aper}, {uper, b.uper}, {ber, b.ber}})
        if (!line.empty()) samples.push_back({value->info(), rule, unhex(line)});
    }
  ASSERT_FALSE(samples.empty());
  std::mt19937 random(777);
  unsigned roundTrips[3] = {};
  for (int round = 0; round < 150000; ++round) {
    const Sample& seed = samples[random() % samples.size()];
    std::vector<char> frame = seed.octets;
    if (round % 5 == 0) {
      frame.resize(random() % 48);
      for (char& c : frame) c = static_cast<char>(random());
    } else {
      for (unsigned flips = 1 + random() % 3; flips > 0 && !frame.empty(); --flips)
        frame[random() % frame.size()] ^= static_cast<char>(1u << (random() % 8));
      if (random() % 4 == 0) frame.resize(random() % (frame.size() + 1));
    }
    std::unique_ptr<AbstractData> value(seed.info->create(seed.info));
    if (!decode(frame, *value, seed.rule) || !value->isValid()) continue;
    const std::string again = encode(*value, seed.rule);
    ASSERT_NE(again, "FAIL") << "rule " << seed.rule << ": " << hex(frame);
    std::unique_ptr<AbstractData> back(seed.info->create(seed.info));
    ASSERT_TRUE(decode(again, *back, seed.rule)) << "rule " << seed.rule << ": " << hex(frame);
    EXPECT_EQ(back->compare(*value), 0) << "rule " << seed.rule << ": " << hex(frame);
    ++roundTrips[seed.rule - ber];
  }
  for (unsigned count : roundTrips) EXPECT_GT(count, 1000u);
}

}  // namespace
