# Runeboard — `make run` and `make test` set up everything they need first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# `make install` puts Runeboard under PREFIX; DESTDIR stages it elsewhere (for packagers).
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: run test test-desktops build deps configure install package demo bench fuzz test-ratio clean

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The display is checked before the build, so a missing one is said at once.
run: deps
	@scripts/run-checks
	@$(MAKE) --no-print-directory build
	$(BUILD_DIR)/runeboard

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600 --label-exclude desktop

# Heavy receivers and whole desktops, installed first: more than a newcomer's `make test` needs.
test-desktops: build
	@scripts/install-deps desktops
	cd $(BUILD_DIR) && ctest --output-on-failure --timeout 900 --label-regex desktop

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# build/runeboard_<version>_<arch>.deb, for `apt-get install ./build/runeboard_*.deb`.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

demo: build
	scripts/demo $(BUILD_DIR)

bench: build
	@scripts/install-deps bench
	cmake --build $(BUILD_DIR) --target benchmarks
	scripts/bench $(BUILD_DIR)

# Each fuzzing target for FUZZ_SECONDS (clang's libFuzzer, in build-fuzz/); not part of `make test`.
FUZZ_SECONDS ?= 60
fuzz: deps
	scripts/fuzz build-fuzz $(FUZZ_SECONDS)

test-ratio:
	@scripts/test-ratio

clean:
	rm -rf $(BUILD_DIR) build-fuzz
