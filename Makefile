# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands of the README: `make run` and `make test`. CMAKE_ARGS goes on to CMake:
# make test CMAKE_ARGS=-DRINGWISE_GUI=OFF
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=
# make install PREFIX=/usr DESTDIR=/tmp/stage
PREFIX ?= /usr/local
DESTDIR ?=
# Passed to scripts/install-deps: --fuzz adds the compiler the fuzz targets need.
DEPS_ARGS ?=
# Seconds each fuzz target runs in `make fuzz`.
FUZZ_SECONDS ?= 60

# Stamps in the build folder: the packages are checked again only when scripts/install-deps
# changes, and CMake configures again only when CMAKE_ARGS change. Changes to the
# CMakeLists are picked up by the build itself. `make run` installs what building and
# running need; `make test` and `make package` add the test and packaging tools.
DEPS_STAMP := $(BUILD_DIR)/.deps-checked
TEST_DEPS_STAMP := $(BUILD_DIR)/.test-deps-checked
ARGS_STAMP := $(BUILD_DIR)/.cmake-args
CONFIGURE_STAMP := $(BUILD_DIR)/.configured

.PHONY: all deps test-deps configure build run test test-sanitize fuzz install package format-check clean FORCE

all: build

deps: $(DEPS_STAMP)

$(DEPS_STAMP): scripts/install-deps
	scripts/install-deps $(DEPS_ARGS)
	@mkdir -p $(@D) && touch $@

test-deps: $(TEST_DEPS_STAMP)

$(TEST_DEPS_STAMP): scripts/install-deps
	scripts/install-deps --test $(DEPS_ARGS)
	@mkdir -p $(@D) && touch $@

# Rewritten only when the arguments differ, so its date is when they last changed.
$(ARGS_STAMP): FORCE
	@mkdir -p $(@D)
	@echo '$(CMAKE_ARGS)' | cmp -s - $@ || echo '$(CMAKE_ARGS)' > $@

configure: $(CONFIGURE_STAMP)

$(CONFIGURE_STAMP): $(DEPS_STAMP) $(ARGS_STAMP)
	cmake -S . -B $(BUILD_DIR) $(CMAKE_ARGS)
	@touch $@

# Without make's "Entering directory" lines; CMake's "Built target" lines are off too.
build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) -- --no-print-directory

# The desktop program, which runs headless where no display is available; the daemon alone
# in a build without the GUI.
run: build
	@if [ -x $(BUILD_DIR)/ringwise-desktop ]; then exec $(BUILD_DIR)/ringwise-desktop; \
	else exec $(BUILD_DIR)/ringwise-server; fi

test: test-deps build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The units name the binary by its full path, so the prefix is set when configuring; only
# the cached prefix changes, nothing is compiled again.
install: build
	cmake -S . -B $(BUILD_DIR) -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR)

# build/ringwise-server_<version>_<arch>.deb, ringwise-desktop_... and ringwise-client_...,
# installed under /usr.
package: test-deps build
	cmake -S . -B $(BUILD_DIR) -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) -- --no-print-directory
	cd $(BUILD_DIR) && cpack

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer (GCC), in a
# folder of its own; any finding fails the test that ran into it.
test-sanitize:
	$(MAKE) test BUILD_DIR=build-sanitize CMAKE_ARGS="-DRINGWISE_SANITIZE=ON $(CMAKE_ARGS)"

# The libFuzzer targets, built with clang in build-fuzz (only our code instrumented), each
# run for FUZZ_SECONDS. A crash leaves its input under fuzz/crashes/ and fails the command.
fuzz:
	$(MAKE) build BUILD_DIR=build-fuzz DEPS_ARGS=--fuzz \
	    CMAKE_ARGS="-DCMAKE_CXX_COMPILER=clang++-14 -DRINGWISE_FUZZ=ON -DRINGWISE_GUI=OFF -DBUILD_TESTING=OFF"
	fuzz/run build-fuzz/fuzz $(FUZZ_SECONDS)

format-check: test-deps
	find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | \
	    xargs -0 clang-format --dry-run --Werror
	scripts/spdx-headers --check

clean:
	rm -rf $(BUILD_DIR)
