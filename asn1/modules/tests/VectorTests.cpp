// Every vector file: value text -> aligned and
// unaligned PER octets, both encodings -> the same value, value -> the same
// text; robustness frames fail or decode as they say. BER lines and BER
// frames are not checked here.
#include "VectorFile.h"

#include "asn1/CoderEnv.h"
#include "asn1/Types.h"
#include "asn1/modules/ModuleTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

std::vector<std::string> vectorFiles()
{
    try {
        return VectorFile::listTextFiles(VectorFile::directory());
    } catch (const std::exception&) {
        return {}; // reported by VectorFiles.found
    }
}

std::string baseName(const std::string& path)
{
    std::string name = path.substr(path.rfind('/') + 1);
    return name.substr(0, name.size() - 4);
}

class Codec {
public:
    Codec() { MessageModules::registerAll(env_); }

    std::unique_ptr<ASN1::AbstractData> make(const std::string& type) const
    {
        const ASN1::AbstractData::InfoType* info = MessageModules::findType(env_, type);
        return std::unique_ptr<ASN1::AbstractData>(info ? info->create(info) : nullptr);
    }

    static bool encode(const ASN1::AbstractData& value, int rule, std::string& hex)
    {
        std::vector<char> out;
        if (ASN1::CoderEnv(rule).encode(value, out) < 0)
            return false;
        hex = VectorFile::toHex(std::vector<unsigned char>(out.begin(), out.end()));
        return true;
    }

    static bool decode(const std::string& hex, int rule, ASN1::AbstractData& value)
    {
        const std::vector<unsigned char> octets = VectorFile::fromHex(hex);
        const char* first = reinterpret_cast<const char*>(octets.data());
        return ASN1::CoderEnv(rule).decode(first, first + octets.size(), value);
    }

private:
    ASN1::CoderEnv env_;
};

// One line per fault, naming the vector, so a failing file lists them all.
void checkValueBlock(const Codec& codec, const VectorFile::Block& b)
{
    SCOPED_TRACE(b.id + " (" + b.type + ") " + b.file + ":" + std::to_string(b.line));
    const auto value = codec.make(b.type);
    ASSERT_TRUE(value) << "no such type";
    ASSERT_TRUE(value->setFromValueNotation(b.value)) << "value text not read";

    EXPECT_EQ(value->asValueNotation(), b.value) << "written text differs";

    const struct {
        int rule;
        const char* name;
        const std::string& hex;
    } encodings[] = {{ASN1::CoderEnv::per_Aligned, "aper", b.aper}, {ASN1::CoderEnv::per_Unaligned, "uper", b.uper}};
    for (const auto& e : encodings) {
        std::string hex;
        EXPECT_TRUE(Codec::encode(*value, e.rule, hex)) << e.name << ": encode failed";
        EXPECT_EQ(hex, e.hex) << e.name << ": octets differ";
        const auto decoded = codec.make(b.type);
        EXPECT_TRUE(Codec::decode(e.hex, e.rule, *decoded)) << e.name << ": decode failed";
        EXPECT_EQ(decoded->compare(*value), 0)
            << e.name << ": decoded value differs:\n" << decoded->asValueNotation();
    }
}

void checkRobustnessBlock(const Codec& codec, const VectorFile::Block& b)
{
    SCOPED_TRACE(b.id + " (" + b.reason + ") " + b.file + ":" + std::to_string(b.line));
    const auto value = codec.make(b.type);
    ASSERT_TRUE(value) << "no such type";
    const bool decoded = Codec::decode(b.data, ASN1::CoderEnv::per_Aligned, *value);
    if (b.expect == "decode-fails") {
        EXPECT_FALSE(decoded) << "decoded to:\n" << value->asValueNotation();
        return;
    }
    ASSERT_EQ(b.expect, "decode-ok");
    ASSERT_TRUE(decoded);
    const auto expected = codec.make(b.type);
    ASSERT_TRUE(expected->setFromValueNotation(b.value));
    EXPECT_EQ(value->compare(*expected), 0) << "decoded to:\n" << value->asValueNotation();
}

class VectorFiles : public testing::TestWithParam<std::string> {};

TEST_P(VectorFiles, encodeDecodeAndPrintAsGiven)
{
    const Codec codec;
    const std::vector<VectorFile::Block> blocks = VectorFile::read(GetParam());
    ASSERT_FALSE(blocks.empty());
    int berOnly = 0;
    for (const VectorFile::Block& b : blocks) {
        if (!b.encoding.empty()) {
            if (b.encoding == "ber")
                ++berOnly;
            else
                checkRobustnessBlock(codec, b);
        } else {
            checkValueBlock(codec, b);
        }
    }
    RecordProperty("berFramesSkipped", berOnly);
}

INSTANTIATE_TEST_SUITE_P(Shared, VectorFiles, testing::ValuesIn(vectorFiles()),
                         [](const testing::TestParamInfo<std::string>& info) { return baseName(info.param); });

TEST(VectorFilesFound, everyModuleHasItsFile)
{
    ASSERT_NO_THROW(VectorFile::listTextFiles(VectorFile::directory()));
    std::vector<std::string> names;
    for (const std::string& path : vectorFiles())
        names.push_back(baseName(path));
    for (const char* module : {"LGCP", "TERM", "ACP", "MON", "LEMZGW", "HSP", "BASE", "ROUTER", "YACP", "MEDIA",
                               "CCP", "E2E", "robustness"})
        EXPECT_NE(std::find(names.begin(), names.end(), module), names.end()) << module << " in " << VectorFile::directory();
}

} // namespace
