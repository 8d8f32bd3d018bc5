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

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-fuzz build-bench
