// Built where libpri is missing: the tests against libpri cannot run.

#include <gtest/gtest.h>

TEST(Libpri, Q921AgainstAnIndependentStack) {
  GTEST_SKIP() << "libpri is not found (scripts/run-tests installs libpri-dev, scripts/run-tests-ppc builds it): "
                  "the Q.921 tests against libpri are skipped";
}
