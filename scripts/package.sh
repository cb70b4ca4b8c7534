#!/usr/bin/env bash
# Builds the Debian package corvid_<version>_<arch>.deb into the project root:
# the two programs built in their own folder (default build-deb/, or the one
# given) with Debian's hardening flags, installed under /usr and packed by
# CPack. Needs what scripts/install-deps.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${launcher[@]}" >/dev/null
# Only what the package holds; the tests are not built here.
cmake --build "$build" -j"$(nproc)" --target corvid corvid-mkmdb corvid_package_files
rm -f "$build"/corvid_*.deb
(cd "$build" && cpack -G DEB)
cp "$build"/corvid_*.deb .
ls corvid_*.deb
