# Top-level entry points; the build itself is CMake's.
BUILD     ?= build
SAN_BUILD ?= build-san
FUZZ_BUILD ?= build-fuzz
JOBS      ?= 2
# Seconds of each fuzz target: FUZZ_TIME for `make fuzz`, FUZZ_SMOKE in `make test`.
FUZZ_TIME ?= 60
FUZZ_SMOKE ?= 5
PREFIX    ?= /usr/local
# Data sets of `make bench-solve` (default: M L).
SIZES     ?=

.PHONY: all setup example test fuzz fuzz-build bench bench-build bench-formats bench-parallel bench-solve bench-linear bench-hub bench-ranges bench-graded \
  install package package-test clean

all:
	@scripts/setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target domlp

setup:
	@scripts/setup --all

example: all
	scripts/run-example $(BUILD)/domlp

# The suite runs twice, the second time with AddressSanitizer and
# UndefinedBehaviorSanitizer, then each fuzz target runs briefly.
test: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOMLP_SANITIZE=ON >/dev/null
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz-build
	tests/fuzz/run $(FUZZ_BUILD) $(FUZZ_SMOKE)

# libFuzzer targets (clang++, AddressSanitizer, UndefinedBehaviorSanitizer).
fuzz: setup fuzz-build
	tests/fuzz/run $(FUZZ_BUILD) $(FUZZ_TIME)

fuzz-build:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DDOMLP_TESTS=OFF -DDOMLP_FUZZ=ON >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# The Release build every benchmark runs.
bench-build: setup
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DDOMLP_TESTS=OFF >/dev/null
	cmake --build build-bench -j $(JOBS) --target domlp

# Whole-run time and memory on generated data sets S, M and L.
bench: bench-build
	bench/run build-bench

# A fraction list and a cross-validation on M, one solve at a time and two at
# once; then a cross-validation of one fraction.
bench-parallel: bench-build
	bench/parallel build-bench M
	bench/parallel build-bench M --modes cv --fractions 0.1

# L's whole run with its observed pairs as gzip-compressed PSI-MITAB (and its
# domain table as a Pfam regions table) against the counted files.
bench-formats: bench-build
	bench/formats build-bench

# Whole runs with --solver clp: time, peak memory and objective on M and L,
# or on the sets named by SIZES (S, M, L).
bench-solve: bench-build
	bench/solve build-bench $(SIZES)

# Whole runs with --solver clp on L and on four disjoint copies of it (4L),
# side by side: time, peak memory and their ratios; with OLD=BINARY, the
# outputs of both sets compared with that binary's.
bench-linear: bench-build
	bench/linear build-bench $(if $(OLD),--compare $(OLD))

# The graded confidence against counts of the evidence on real interactomes:
# make bench-graded INTERACTOMES=DIR, DIR holding the sets (see bench/graded).
bench-graded: bench-build
	@test -n "$(INTERACTOMES)" || { echo "usage: make bench-graded INTERACTOMES=DIR"; exit 2; }
	bench/graded build-bench $(INTERACTOMES)

# Whole runs with --solver clp --ranges on M and L at fractions 0, 0.1, 0.3.
bench-ranges: bench-build
	for f in 0 0.1 0.3; do bench/solve build-bench --ranges --fraction $$f M L || exit 1; done

# Whole runs with --solver clp on a hub protein's partners, 2 500 to 20 000
# with three domains each and 10 000 with four, at fractions 0.1, 0.3, 0.5.
bench-hub: bench-build
	for f in 0.1 0.3 0.5; do bench/solve build-bench --fraction $$f HUB || exit 1; done

# domlp, domlp-report and their manual pages, as CMake's install rules list
# them, under $(DESTDIR)$(PREFIX).
install: all
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, built in a scratch copy of the tree:
# build-deb/domlp_VERSION-REVISION_ARCH.deb.
package:
	@scripts/setup --package
	JOBS=$(JOBS) scripts/build-deb build-deb

# The package built and checked against build/domlp (not part of `make test`).
package-test: all
	@scripts/setup --package
	JOBS=$(JOBS) tests/package $(BUILD)/domlp

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD) build-bench build-deb
