# Top-level entry points; the build itself is CMake's.
BUILD     ?= build
SAN_BUILD ?= build-san
JOBS      ?= 2
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 60
# Seconds of each fuzz target in `make test`.
FUZZ_SMOKE ?= 15

.PHONY: all setup example test fuzz fuzz-build bench clean

all:
	@scripts/setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

setup:
	@scripts/setup --all

example: all
	scripts/run-example $(BUILD)/domlp

test: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOMLP_SANITIZE=ON >/dev/null
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz-build
	tests/fuzz/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SMOKE)

# libFuzzer targets (clang++, AddressSanitizer, UndefinedBehaviorSanitizer),
# each run FUZZ_TIME seconds on a scratch copy of its seed corpus.
fuzz: setup fuzz-build
	tests/fuzz/run-fuzzers $(FUZZ_BUILD) $(FUZZ_TIME)

fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DDOMLP_TESTS=OFF -DDOMLP_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Stage timings on generated data sets S, M and L (Release build of its own).
bench: setup
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDOMLP_BENCH=ON -DDOMLP_TESTS=OFF >/dev/null
	cmake --build build-bench -j $(JOBS)
	bench/run build-bench

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) build-bench
