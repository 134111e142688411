# Shared by scripts/run and scripts/test: the Debian packages the project needs, installed only
# when missing (as root, or through sudo otherwise).

# What building and running the window and the command line need.
STDLOOKUP_RUN_PACKAGES=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n fonts-wqy-microhei
  libcurl4-openssl-dev libxlsxwriter-dev libzip-dev libexpat1-dev nlohmann-json3-dev libcli11-dev
  libcpp-httplib-dev libpugixml-dev xdg-utils gettext
)
# What scripts/package needs on top: manual pages, the .deb's library dependencies.
STDLOOKUP_PACKAGE_PACKAGES=(
  "${STDLOOKUP_RUN_PACKAGES[@]}"
  help2man dpkg-dev file
)
# What the test suite needs on top: test frameworks, a headless display, a workbook reader, the
# formatter and the Windows cross compiler for the checks, the checkers of the package, and the
# Python peers that the bench programs' short runs race against.
STDLOOKUP_TEST_PACKAGES=(
  "${STDLOOKUP_PACKAGE_PACKAGES[@]}"
  libgtest-dev libgmock-dev qt6-base-private-dev python3 python3-openpyxl python3-requests xvfb xauth
  clang-format g++-mingw-w64-x86-64-posix ccache
  lintian desktop-file-utils appstream man-db libtsan2 locales-all
)

# What scripts/bench needs: what the test suite needs (its Python peers among them).
STDLOOKUP_BENCH_PACKAGES=(
  "${STDLOOKUP_TEST_PACKAGES[@]}"
)

# What scripts/fuzz needs on top: clang with its sanitizer and libFuzzer runtimes.
STDLOOKUP_FUZZ_PACKAGES=(
  "${STDLOOKUP_RUN_PACKAGES[@]}"
  clang libclang-rt-14-dev
)

# What the Windows cross build, its tests under Wine and its installer need on top
# (scripts/windows-deps, scripts/package windows).
STDLOOKUP_WINDOWS_PACKAGES=(
  cmake ninja-build mingw-w64 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev binutils-mingw-w64-x86-64
  googletest libcli11-dev nlohmann-json3-dev debian-archive-keyring dpkg-dev ca-certificates gettext
  wine wine64 locales fonts-wqy-microhei nsis
)

# What scripts/screenshot needs on top: a virtual X display, a window grabber, PNG conversion.
STDLOOKUP_SCREENSHOT_PACKAGES=(
  "${STDLOOKUP_RUN_PACKAGES[@]}"
  xvfb xauth x11-apps x11-utils netpbm
)

ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing Debian packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}
