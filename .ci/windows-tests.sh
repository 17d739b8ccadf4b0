#!/usr/bin/env bash
# Builds the Windows plug-in (32-bit, as hosts load it) and command with
# MinGW-w64 and runs them and the test binary under Wine, headless.
#
# A kernel without 32-bit support (ia32 emulation off) runs no 32-bit program,
# Wine's included: there the 32-bit build is still made and packed, and the
# tests run on the 64-bit Windows build of the same sources.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

for tool in i686-w64-mingw32-g++-posix wineserver; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipping the Windows tests: $tool is not installed (make deps-windows)"
    exit 0
  fi
done

configure_and_build() {  # build folder, toolchain, targets...
  local folder=$1 toolchain=$2
  shift 2
  cmake -S . -B "$folder" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" -DCMAKE_BUILD_TYPE=Release -DWS_BENCHMARKS=OFF
  cmake --build "$folder" -j"$JOBS" ${1:+--target "$@"}
}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  configure_and_build build-win32 toolchain-mingw-w64-i686.cmake
  test_build=build-win32
  wine=wine
else
  echo "this machine runs no 32-bit programs: the Windows tests run on the 64-bit build"
  configure_and_build build-win32 toolchain-mingw-w64-i686.cmake wirestack_vst wirestack
  configure_and_build build-win64 toolchain-mingw-w64-x86_64.cmake
  test_build=build-win64
  wine=/usr/lib/wine/wine64
fi

# One Wine prefix per run; no installer dialogs for .NET or HTML support.
export WINEPREFIX="$PWD/$test_build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
trap 'timeout 60 wineserver -k || true' EXIT
# The first start sets the prefix up and leaves services behind that hold
# standard output open; a persistent server started first keeps them in it.
timeout 300 wineserver -p
timeout 600 "$wine" cmd /c exit 0

run() { timeout 300 "$wine" "$@"; }

# The Windows command packs the built-in demo into a copy of the Windows
# plug-in, loads it through "main" and renders it.
run "$test_build/wirestack.exe" info >"$test_build/demo-info.txt"
head -n 5 "$test_build/demo-info.txt"
run "$test_build/wirestack.exe" render -o "$test_build/demo.wav"
# The 32-bit plug-in offers hosts its two entries and needs only system libraries.
i686-w64-mingw32-objdump -p build-win32/wirestack.dll >build-win32/wirestack.dll.txt
for entry in main VSTPluginMain; do
  grep -Eq "^\s+\[ *[0-9]+\] $entry$" build-win32/wirestack.dll.txt || { echo "wirestack.dll does not export $entry"; exit 1; }
done
if grep "DLL Name:" build-win32/wirestack.dll.txt | grep -viE "(kernel32|user32|msvcrt|advapi32|shell32)\.dll"; then
  echo "wirestack.dll needs libraries Windows does not have"
  exit 1
fi

# The same demo, rendered on Linux, sounds the same to the last bit.
build/wirestack render -o build/demo-linux.wav
if cmp -s build/demo-linux.wav "$test_build/demo.wav"; then
  echo "the Windows render is bit-identical to the Linux render"
else
  echo "the Windows render differs from the Linux render"
  exit 1
fi

ctest --test-dir "$test_build" --output-on-failure --no-tests=error -j"$JOBS"
