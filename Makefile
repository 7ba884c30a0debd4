# Tesmora: the commands. `make run` and `make test` work on a fresh Debian 12 machine.

BUILD        ?= build
ASAN_BUILD   ?= build-asan
SCALAR_BUILD ?= build-scalar
NOGUI_BUILD  ?= build-nogui
BENCH_BUILD  ?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

FUZZ_SECONDS ?= 60

.PHONY: all setup build test test-asan test-scalar test-nogui run bench fuzz soak format clean

all: build

setup:
	@scripts/setup

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory test-scalar
	$(MAKE) --no-print-directory test-nogui

# The same suite with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: setup
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTESMORA_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# The core and chart tests with the vector paths left out: the scalar paths must give the
# same results.
test-scalar: setup
	cmake -S . -B $(SCALAR_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTESMORA_SIMD=OFF
	cmake --build $(SCALAR_BUILD) -j $(JOBS) --target core_and_chart_tests
	cd $(SCALAR_BUILD) && ctest --output-on-failure -j $(JOBS) -L 'core|chart'

# The converter as a server or cluster node builds it: no Qt at all.
test-nogui: setup
	cmake -S . -B $(NOGUI_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTESMORA_GUI=OFF \
		-DTESMORA_TESTS=OFF
	cmake --build $(NOGUI_BUILD) -j $(JOBS)
	! ldd $(NOGUI_BUILD)/bin/tesmora-convert | grep -i qt

run: build
	$(BUILD)/bin/tesmora $(BUILD)/samples/demo_pc56.lqd

bench: setup
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTESMORA_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	/usr/bin/python3 bench/run.py $(BENCH_BUILD) $(BUILD)/bench

# The random user at length: 50,000 actions on the real window (make test runs 2,000).
SOAK_ACTIONS ?= 50000
soak: build
	cd $(BUILD) && TESMORA_SOAK_ACTIONS=$(SOAK_ACTIONS) \
		QT_QPA_PLATFORM=offscreen:configfile=$(CURDIR)/tests/support/offscreen_screen.json tests/tst_soak

# Every fuzzer for FUZZ_SECONDS (default 60); fails on any finding.
fuzz: setup
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh

format:
	find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(SCALAR_BUILD) $(NOGUI_BUILD) $(BENCH_BUILD) build-fuzz
