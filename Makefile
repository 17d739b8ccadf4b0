# Set-up, build, demo, tests and benchmarks for a Debian 12 machine.
PACKAGES := cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev pkg-config
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)
JOBS := 2

.PHONY: deps build demo test test-release test-asan bench
# Each step already builds on both cores; steps run one after another.
.NOTPARALLEL:

# Only missing packages are installed, so a machine that has them all never needs the network.
deps:
	@missing=""; \
	for package in $(PACKAGES); do \
	  dpkg -s $$package 2>/dev/null | grep -q '^Status: install ok installed' || missing="$$missing $$package"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing$$missing"; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j$(JOBS)

demo: build
	build/wirestack render -o build/demo.wav

test: test-release test-asan

test-release: build
	ctest --test-dir build --output-on-failure --no-tests=error -j$(JOBS)

# Sanitizers at -O1: the checks of a debug build at a speed the tests can afford.
test-asan: deps
	cmake -S . -B build-asan -DWS_SANITIZE=ON -DWS_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
	cmake --build build-asan -j$(JOBS)
	ctest --test-dir build-asan --output-on-failure --no-tests=error -j$(JOBS)

bench: build
	build/bench/ws_bench
