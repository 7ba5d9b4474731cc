# Tripwatch: `make demo` and `make test` each do the whole set-up on a fresh
# Debian 12 machine (install the packages, configure, build) and then run.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
DEMO_HOME  ?= $(CURDIR)/demo-home
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test test-release test-asan test-tsan test-later demo bench fuzz faults package format clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Every test, first in the normal build, then in a build with AddressSanitizer
# and UndefinedBehaviorSanitizer (benchmarks are left out of that one).
test: test-release test-asan

test-release: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=ON \
	    -DTW_BUILD_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest -j $(JOBS) --output-on-failure

# The threaded parts' tests under ThreadSanitizer (build-tsan).
test-tsan: deps
	@bash scripts/test-tsan.sh build-tsan

# The normal build's tests once more with the clock more than a year ahead
# (faketime), and the end-to-end suite then in Europe/Berlin.
test-later: build
	@bash scripts/test-later.sh $(BUILD)

# Faults injected into every output, fuzzing of every reader, exit codes for bad
# input: the table in the README.
faults: build
	@bash scripts/faults.sh $(BUILD)

demo: build
	@bash scripts/demo.sh $(BUILD) $(DEMO_HOME)

bench: build
	@bash scripts/bench.sh $(BUILD)

# The Debian package of the build (CPack's DEB generator) in $(BUILD).
package: build
	@cd $(BUILD) && cpack -G DEB

# Each libFuzzer harness for FUZZ_SECONDS on its seed corpus (clang build in build-fuzz).
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
