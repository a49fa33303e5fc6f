# Two entry points for people; CMake and the scripts do the work.
#   make demo   build the tool and the modem simulator alone (in $(BUILD)-demo,
#               without the tests: a compiler and CMake are all it needs) and
#               show what an operator sees of the whole job; V=1 also shows
#               the log records
#   make test   build and run every test: plain, under AddressSanitizer and
#               UndefinedBehaviorSanitizer, the transport and end-to-end tests
#               under ThreadSanitizer, the fuzz targets briefly, the tool
#               under valgrind on every path, the armhf build under qemu, and
#               the Debian packages, the boot-time units under a real
#               systemd in a container, and the tool on the kernel's own
#               cdc_mbim and cdc-wdm drivers in virtual machines (amd64 and
#               armhf; these two root only); it ends with one line
#               counting the stages that passed, failed and were skipped
#               (scripts/test-stages)
# Each part is a target of its own (test-plain, test-asan, ...), and each
# runs alone from a clean clone, building what it needs. Missing Debian
# packages are installed first when run as root (scripts/install-deps and
# the scripts named below).
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
DEMO_BUILD ?= $(BUILD)-demo
V ?= 0
STAGES = test-plain test-asan test-tsan test-fuzz test-valgrind test-armhf test-package test-boot \
         test-realdev

# cmake --build runs make within make: no "Entering directory" lines.
MAKEFLAGS += --no-print-directory

.PHONY: all deps deps-demo build demo test test-plain test-asan test-tsan test-fuzz test-valgrind \
        test-armhf test-package test-boot test-realdev package package-host package-armhf clean

all: build

deps:
	@scripts/install-deps

build: deps
	$(CONFIGURE) -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

deps-demo:
	@scripts/install-deps --demo

demo: deps-demo
	$(CONFIGURE) -B $(DEMO_BUILD) -DTESSEL_TESTS=OFF
	cmake --build $(DEMO_BUILD) -j $(JOBS) --target tessel tessel-modem-sim
	@V='$(V)' scripts/demo $(DEMO_BUILD)

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
	  scripts/run-ctest $(BUILD)-tsan --output-on-failure -j $(JOBS) -R 'transport|api|e2e'

test-fuzz:
	WERROR=$(WERROR) scripts/fuzz $(FUZZ_SECONDS) $(BUILD)-fuzz

test-valgrind: build
	scripts/valgrind-check $(BUILD)

test-armhf: deps
	WERROR=$(WERROR) scripts/armhf-test $(BUILD)-armhf

test-package: package

# Boots a minimal Debian root with systemd-nspawn: the packages' units run
# by systemd as PID 1 against the simulator. Root only; skipped otherwise.
# It builds the packages it installs there itself.
test-boot:
	WERROR=$(WERROR) scripts/boot-test $(BUILD)

# Boots Debian's stock kernel under qemu, amd64 then armhf, with the built
# packages: the simulator plugs in as a USB modem and the tool meets it
# through the kernel's own drivers, udev, systemd, mbim-proxy and
# ModemManager. Root only; skipped otherwise. The disk images are cached in
# /var/cache/tessel-realdev.
test-realdev:
	WERROR=$(WERROR) scripts/realdev-test $(BUILD) $(PACKAGE_ARMHF_BUILD)

package: package-host package-armhf
	scripts/package-test $(BUILD)/packages $(PACKAGE_ARMHF_BUILD)/packages

package-host: deps
	WERROR=$(WERROR) scripts/package $(BUILD)

package-armhf: deps
	WERROR=$(WERROR) scripts/package --armhf $(PACKAGE_ARMHF_BUILD)

clean:
	rm -rf $(BUILD) $(DEMO_BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-armhf $(PACKAGE_ARMHF_BUILD) \
	  $(BUILD)-fuzz build-fuzz
