# Tesmora: the commands. `make run` and `make test` work on a fresh Debian 12 machine.

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

FUZZ_SECONDS ?= 60

.PHONY: all setup build test test-plain test-asan run bench fuzz soak format clean

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

# The same suite with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: setup
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTESMORA_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

run: build
	$(BUILD)/bin/tesmora $(BUILD)/samples/demo_pc56.lqd

bench: setup
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTESMORA_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)
	/usr/bin/python3 bench/run.py $(BUILD)

# The random user at length: 50,000 actions on the real window (make test runs 2,000).
SOAK_ACTIONS ?= 50000
soak: build
	cd $(BUILD) && TESMORA_SOAK_ACTIONS=$(SOAK_ACTIONS) QT_QPA_PLATFORM=offscreen tests/tst_soak

# Every fuzzer for FUZZ_SECONDS (default 60); fails on any finding.
fuzz: setup
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh

format:
	find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
