# Top-level entry points; the build itself is CMake's.
BUILD     ?= build
SAN_BUILD ?= build-san
JOBS      ?= 2
FUZZ_TIME ?= 60

.PHONY: all setup example test fuzz bench clean

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

# Stage timings on generated data sets S, M and L (Release build of its own).
bench: setup
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDOMLP_BENCH=ON -DDOMLP_TESTS=OFF >/dev/null
	cmake --build build-bench -j $(JOBS)
	bench/run build-bench

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-fuzz build-bench
