# Shared by the set-up commands (sourced, not run): the repository root and
# the Debian packages the build needs, installed when missing.

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"

install_packages() {
  install_listed cmake make g++ libgtest-dev libboost-dev libloki-dev libbenchmark-dev python3
}

# Independent readers and peers some tests check our bytes against (Wireshark's
# tshark, the ISDN stack libpri, the SS7 stack libss7). Those tests skip with a
# message when a package cannot be had, so a failed install only warns; each
# package is tried on its own.
install_test_packages() {
  local p
  for p in tshark libpri-dev libss7-dev; do
    install_listed "$p" || echo "warning: test-only package $p not installed; the tests that need it will skip" >&2
  done
}

install_listed() {
  local wanted=("$@")
  local missing=()
  local p
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "missing packages: ${missing[*]} (run as root or install sudo)" >&2
      return 1
    fi
    as_root=(sudo)
  fi
  echo "installing: ${missing[*]}"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}
