# Two entry points for people; CMake and the scripts do the work.
#   make demo   build the tool and the modem simulator, run the whole job
#   make test   build and run every test: plain, under AddressSanitizer and
#               UndefinedBehaviorSanitizer, the transport and end-to-end tests
#               under ThreadSanitizer, the fuzz targets briefly, the tool
#               under valgrind on every path, the armhf build under qemu, and
#               the Debian packages; it ends with one line counting the stages
#               that passed, failed and were skipped (scripts/test-stages)
# Each part is a target of its own (test-plain, test-asan, ...). Missing
# Debian packages are installed first when run as root (scripts/install-deps
# and the scripts named below).
#   make package        the Debian packages: tessel, tessel-modem-sim and
#                       tessel-mender for this machine, and tessel for armhf;
#                       then their test
#   make package-armhf  the armhf packages alone

BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
WERROR ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 20
CONFIGURE = cmake -S . -DTESSEL_WERROR=$(WERROR) $(CMAKE_FLAGS)
# The armhf packages come from a cross build of the tool and the simulator
# alone, apart from the armhf test build.
PACKAGE_ARMHF_BUILD ?= $(BUILD)-armhf-pkg
STAGES = test-plain test-asan test-tsan test-fuzz test-valgrind test-armhf test-package

# cmake --build runs make within make: no "Entering directory" lines.
MAKEFLAGS += --no-print-directory

.PHONY: all deps build demo test test-plain test-asan test-tsan test-fuzz test-valgrind \
        test-armhf test-package package package-host package-armhf clean

all: build

deps:
	@scripts/install-deps

build: deps
	$(CONFIGURE) -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo $(BUILD)

# Every stage runs, also after one fails; the last line counts them.
test:
	@MAKE='$(MAKE)' scripts/test-stages $(STAGES)

test-plain: build
	scripts/run-ctest $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	$(CONFIGURE) -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=address,undefined
	cmake --build $(BUILD)-asan -j $(JOBS)
	scripts/run-ctest $(BUILD)-asan --output-on-failure -j $(JOBS)

# The two threads meet in the transport; the end-to-end tests run the tool
# (built with the same sanitizer) through every flow.
test-tsan: deps
	$(CONFIGURE) -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=thread
	cmake --build $(BUILD)-tsan -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1:exitcode=66 \
	  scripts/run-ctest $(BUILD)-tsan --output-on-failure -j $(JOBS) -R 'mbim_ctx|api|e2e'

test-fuzz:
	WERROR=$(WERROR) scripts/fuzz $(FUZZ_SECONDS) $(BUILD)-fuzz

test-valgrind: build
	scripts/valgrind-check $(BUILD)

test-armhf:
	WERROR=$(WERROR) scripts/armhf-test $(BUILD)-armhf

test-package: package

package: package-host package-armhf
	scripts/package-test $(BUILD)/packages $(PACKAGE_ARMHF_BUILD)/packages

package-host: deps
	WERROR=$(WERROR) scripts/package $(BUILD)

package-armhf:
	WERROR=$(WERROR) scripts/package --armhf $(PACKAGE_ARMHF_BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-armhf $(PACKAGE_ARMHF_BUILD) \
	  $(BUILD)-fuzz build-fuzz
