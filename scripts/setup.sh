# Shared by the set-up commands (sourced, not run): the repository root and
# the Debian packages the build needs, installed when missing.

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"

install_packages() {
  install_listed cmake make g++ libgtest-dev libboost-dev libloki-dev libbenchmark-dev python3
}

# Independent readers and peers some tests check our bytes against
# (Wireshark's tshark, the ISDN stack libpri). Those tests skip with a message
# when a package cannot be had, so a failed install only warns.
install_test_packages() {
  install_listed tshark libpri-dev || echo "warning: test-only packages not installed; the tests that need them will skip" >&2
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
