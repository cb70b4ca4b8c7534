#!/usr/bin/env bash
# Builds Corvid and its tests with AddressSanitizer and UndefinedBehaviorSanitizer
# (g++, -DCORVID_SANITIZE=ON) in a build directory of its own and runs the
# whole test suite under them. Any report of either sanitizer fails the test
# that caused it. Tests labelled "no_sanitizer" are left out (each says why
# where it is registered).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SANITIZE_BUILD_DIR:-build-sanitize}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# The build runs sanitized programs too (the sample database is written by
# one). intercept_tls_get_addr=0: with Debian 12's glibc, the leak checker of
# g++ 12 meets a bogus dynamic-TLS range of a loaded library and crashes;
# without the interception it scans static TLS and stacks as before.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0"
start=$SECONDS
# No benchmarks: they are not tests and only lengthen the build.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVID_SANITIZE=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "sanitized build took $((SECONDS - start)) s"
start=$SECONDS
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -LE no_sanitizer
echo "sanitized test suite took $((SECONDS - start)) s"
