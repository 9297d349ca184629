# Sourced by the other scripts: makes sure the Debian packages they name are installed.
# Usage: need_packages pkg...   Installs the missing ones with apt-get when run as root;
# otherwise names them and stops.
need_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing missing Debian packages: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    if ! apt-get install -y --no-install-recommends "${missing[@]}" >&2; then
      apt-get update >&2 && apt-get install -y --no-install-recommends "${missing[@]}" >&2 || {
        echo "Could not install: ${missing[*]}" >&2
        exit 1
      }
    fi
  else
    echo "Missing Debian packages. Install them first:" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
}

# gemmi (header-only, with the PEGTL grammar library) parses mmCIF; zlib reads gzip files.
BUILD_PACKAGES=(g++ make cmake libboost-dev gemmi-dev tao-pegtl-dev zlib1g-dev)
# The interoperability tests read what Kestrum writes with Open Babel (obabel) and RDKit.
TEST_PACKAGES=(libgtest-dev openbabel python3-rdkit)
