#pragma once
// Golden transcripts: long fixed texts (log lines, frame sequences in hex,
// state changes) kept in files beside the tests instead of literals in test
// code. With GW_REWRITE_GOLDEN=1 in the environment a comparison rewrites the
// file from what the test produced and passes, so a change of behaviour
// shows up as a diff of the file in review.

#include <gtest/gtest.h>

#include <string>

namespace Testing {

// Compares `actual` with the file at `path`, relative to the source tree
// ($GW_SOURCE_DIR, set by ctest), e.g. "signalling/tests/golden/lapd-setup.txt".
// On a difference the failure names the first line that differs.
::testing::AssertionResult matchesGolden(const std::string& path, const std::string& actual);

}  // namespace Testing
