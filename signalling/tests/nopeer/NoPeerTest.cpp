// Built where libpri-dev is missing: the tests against libpri cannot run.

#include <gtest/gtest.h>

TEST(Libpri, Q921AgainstAnIndependentStack) {
  GTEST_SKIP() << "libpri-dev is not installed (scripts/run-tests installs it): "
                  "the Q.921 tests against libpri are skipped";
}
