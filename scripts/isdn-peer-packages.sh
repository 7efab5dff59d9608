# The independent ISDN stack the Q.921 peer tests run against (Debian's
# libpri-dev; test-only). Sourced after setup.sh; install_test_packages calls
# install_isdn_peer_packages. Without the package the peer tests skip.
install_isdn_peer_packages() {
  install_listed libpri-dev || echo "warning: libpri-dev not installed; the Q.921 tests against libpri will skip" >&2
}
