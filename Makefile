# The two commands of the README: `make run` and `make test`. CMAKE_ARGS goes on to CMake:
# make test CMAKE_ARGS=-DRINGWISE_GUI=OFF
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_ARGS ?=
# make install PREFIX=/usr DESTDIR=/tmp/stage
PREFIX ?= /usr/local
DESTDIR ?=

# Stamps in the build folder: the packages are checked again only when scripts/install-deps
# changes, and CMake configures again only when CMAKE_ARGS change. Changes to the
# CMakeLists are picked up by the build itself.
DEPS_STAMP := $(BUILD_DIR)/.deps-checked
ARGS_STAMP := $(BUILD_DIR)/.cmake-args
CONFIGURE_STAMP := $(BUILD_DIR)/.configured

.PHONY: all deps configure build run test install package format-check clean FORCE

all: build

deps: $(DEPS_STAMP)

$(DEPS_STAMP): scripts/install-deps
	scripts/install-deps
	@mkdir -p $(@D) && touch $@

# Rewritten only when the arguments differ, so its date is when they last changed.
$(ARGS_STAMP): FORCE
	@mkdir -p $(@D)
	@echo '$(CMAKE_ARGS)' | cmp -s - $@ || echo '$(CMAKE_ARGS)' > $@

configure: $(CONFIGURE_STAMP)

$(CONFIGURE_STAMP): $(DEPS_STAMP) $(ARGS_STAMP)
	cmake -S . -B $(BUILD_DIR) $(CMAKE_ARGS)
	@touch $@

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/ringwise-server

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The units name the binary by its full path, so the prefix is set when configuring; only
# the cached prefix changes, nothing is compiled again.
install: build
	cmake -S . -B $(BUILD_DIR) -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR)

# build/ringwise_<version>_<arch>.deb, installed under /usr.
package: build
	cmake -S . -B $(BUILD_DIR) -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	cmake --build $(BUILD_DIR) -j $(JOBS)
	cd $(BUILD_DIR) && cpack

format-check: deps
	find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | \
	    xargs -0 clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR)
