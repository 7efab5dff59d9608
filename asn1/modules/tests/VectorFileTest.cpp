// The vector set named by $GW_ASN1_VECTORS moves the vector tests only: a
// vector taken by its id as a fixture still comes from the tree's own set.
#include "VectorFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(VectorFileNamed, ReadsTheTreesOwnSetWhateverSetTheVectorTestsCheck) {
  // Another set, whose one vector has an id the tree's set does not hold.
  std::string dir = testing::TempDir() + "vectors-XXXXXX";
  ASSERT_NE(mkdtemp(&dir[0]), nullptr);
  const fs::path other = dir;
  std::ofstream(other / "MON.txt") << "id: MON-w0012\ntype: MON.Message\nvalue:\n{\n  pdu command : ping : NULL\n}\n"
                                      "end-value\naper: 18\n";
  const char* const given = std::getenv("GW_ASN1_VECTORS");
  const std::string before = given ? given : "";
  ASSERT_EQ(setenv("GW_ASN1_VECTORS", other.c_str(), 1), 0);
  EXPECT_EQ(VectorFile::directory(), other.string());

  const struct {
    const char* id;
    const char* aper;  // nullptr: no such vector
  } cases[] = {
      {"MON-v0012", "18"},    {"MON-v0022", "58"},    {"LGCP-v0016", "4000078200"},
      {"MON-w0012", nullptr}, {"MON-v9999", nullptr}, {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    if (!c.aper) {
      EXPECT_THROW(VectorFile::named(c.id), std::runtime_error);
      continue;
    }
    const VectorFile::Block& block = VectorFile::named(c.id);
    EXPECT_EQ(block.id, c.id);
    EXPECT_EQ(block.aper, c.aper);
    EXPECT_EQ(fs::path(block.file).parent_path(), fs::path(VectorFile::ownDirectory()));
  }
  // The vector tests after this one check the set they were given.
  if (given)
    setenv("GW_ASN1_VECTORS", before.c_str(), 1);
  else
    unsetenv("GW_ASN1_VECTORS");
  fs::remove_all(other);
}

}  // namespace
