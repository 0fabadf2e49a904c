# The two commands of a fresh machine: `make run` and `make test` (which also gives each fuzzer a
# brief run over its seed corpus before the test suite).
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
# Extra CMake settings for every build folder, e.g. CMAKE_FLAGS=-DCMAKE_COMPILE_WARNING_AS_ERROR=ON
# (CI); the scripts below read it from the environment.
CMAKE_FLAGS ?=
export CMAKE_FLAGS

.PHONY: run test build build-only bench fuzz clean

# Builds only the program, not the tests and benchmarks.
run:
	scripts/install-deps.sh build
	$(MAKE) --no-print-directory build-only TARGETS=site-launcher
	./$(BUILD_DIR)/site-launcher

test:
	scripts/install-deps.sh test
	$(MAKE) --no-print-directory build-only
	scripts/fuzz.sh --brief
	scripts/run-tests.sh $(BUILD_DIR)

build:
	scripts/install-deps.sh build
	$(MAKE) --no-print-directory build-only

# TARGETS: what to build (everything when empty).
build-only:
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD_DIR) -j $(JOBS) $(if $(TARGETS),--target $(TARGETS))

clean:
	rm -rf $(BUILD_DIR)

# Comparisons with nginx, Python's http.server and live-server: loads, page loads in Chromium, live
# reload (BENCH_SECONDS per wrk run, default 10; BENCH_PARTS picks parts, e.g. "pageload").
bench:
	scripts/install-deps.sh bench
	scripts/bench.sh $(BENCH_PARTS)

# Each libFuzzer target for FUZZ_SECONDS (default 60), built with clang in build-fuzz.
fuzz:
	scripts/install-deps.sh fuzz
	scripts/fuzz.sh

.PHONY: test-sanitized
# Every test built with AddressSanitizer and UBSan in build-asan.
test-sanitized:
	scripts/install-deps.sh test
	scripts/sanitize-tests.sh
