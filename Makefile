# Two entry points for people; CMake does the work.
#   make demo   build the tool and run it
#   make test   build and run every test, then again under AddressSanitizer
#               and UndefinedBehaviorSanitizer
# Missing Debian packages are installed first when run as root (see
# scripts/install-deps); otherwise the script names them.

BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
WERROR ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS ?=
CONFIGURE = cmake -S . -DTESSEL_WERROR=$(WERROR) $(CMAKE_FLAGS)

.PHONY: all deps build demo test test-plain test-asan clean

all: build

deps:
	@scripts/install-deps

build: deps
	$(CONFIGURE) -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo $(BUILD)

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	$(CONFIGURE) -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=address,undefined
	cmake --build $(BUILD)-asan -j $(JOBS)
	ctest --test-dir $(BUILD)-asan --output-on-failure -j $(JOBS)

test: test-plain test-asan

clean:
	rm -rf $(BUILD) $(BUILD)-asan
