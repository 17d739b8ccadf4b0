# Set-up, build, demo, tests and benchmarks for a Debian 12 machine.
PACKAGES := cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev pkg-config
# Windows builds: MinGW-w64 cross compilers, GoogleTest's sources, and Wine to run the tests.
WINDOWS_PACKAGES := g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest wine wine64 wine32:i386
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)
JOBS := 2

.PHONY: deps deps-windows build demo test test-release test-asan test-windows bench
# Each step already builds on both cores; steps run one after another.
.NOTPARALLEL:

# Only missing packages are installed, so a machine that has them all never needs the network.
missing = $(shell for package in $(1); do \
  dpkg -s $$package 2>/dev/null | grep -q '^Status: install ok installed' || echo $$package; done)

deps:
	@missing="$(strip $(call missing,$(PACKAGES)))"; \
	if [ -n "$$missing" ]; then \
	  echo "installing $$missing"; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

# 32-bit Wine needs the i386 architecture. A machine where these cannot be
# installed skips the Windows tests (test-windows says so).
deps-windows:
	@missing="$(strip $(call missing,$(WINDOWS_PACKAGES)))"; \
	if [ -n "$$missing" ]; then \
	  echo "installing $$missing"; \
	  { dpkg --print-foreign-architectures | grep -qx i386 || $(SUDO) dpkg --add-architecture i386; } && \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing || \
	  echo "could not install $$missing"; \
	fi

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j$(JOBS)

demo: build
	build/wirestack render -o build/demo.wav

test: test-release test-asan test-windows

test-release: build
	ctest --test-dir build --output-on-failure --no-tests=error -j$(JOBS)

# Sanitizers at -O1: the checks of a debug build at a speed the tests can afford.
test-asan: deps
	cmake -S . -B build-asan -DWS_SANITIZE=ON -DWS_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
	cmake --build build-asan -j$(JOBS)
	ctest --test-dir build-asan --output-on-failure --no-tests=error -j$(JOBS)

# The Windows plug-in and command, built with MinGW-w64, and their tests under Wine.
test-windows: build deps-windows
	bash .ci/windows-tests.sh

bench: build
	build/bench/ws_bench
