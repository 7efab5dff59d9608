#pragma once
// Golden transcripts: long fixed texts (log lines, frame sequences in hex,
// state changes) kept in files beside the tests instead of literals in test
// code. With GW_REWRITE_GOLDEN=1 in the environment a comparison rewrites the
// file from what the test produced and passes, so a change of behaviour
// shows up as a diff of the file in review.

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace Testing {

// Compares `actual` with the file at `path`, relative to the source tree
// ($GW_SOURCE_DIR, set by ctest), e.g. "signalling/tests/golden/lapd-setup.txt".
// On a difference the failure names the first line that differs.
::testing::AssertionResult matchesGolden(const std::string& path, const std::string& actual);

// A golden script: each line "> INPUT" is run in order and followed by what
// `run` answers to it (whole lines, each ending in a newline); blank lines and
// lines starting with "#" (comments) stay as they are. Compared as
// matchesGolden compares, so a rewrite keeps the inputs and renews the answers.
::testing::AssertionResult matchesScript(const std::string& path,
                                         const std::function<std::string(const std::string& input)>& run);

// The radio controllers' log prefixes "rtp_ext[N] <time of day>:" with "T"
// for the time of day ("2026-12-07 01:46:15.123456").
std::string withoutRadioTimes(std::string text);

}  // namespace Testing
