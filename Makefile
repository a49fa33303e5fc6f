# Two entry points for people; CMake and the scripts do the work.
#   make demo   build the tool and the modem simulator, run the whole job
#   make test   build and run every test: plain, under AddressSanitizer and
#               UndefinedBehaviorSanitizer, the transport and end-to-end tests
#               under ThreadSanitizer, the fuzz targets briefly, the tool
#               under valgrind on every path, and the armhf build under qemu
# Each part is a target of its own (test-plain, test-asan, ...). Missing
# Debian packages are installed first when run as root (scripts/install-deps
# and the scripts named below).

BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
WERROR ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 20
CONFIGURE = cmake -S . -DTESSEL_WERROR=$(WERROR) $(CMAKE_FLAGS)

.PHONY: all deps build demo test test-plain test-asan test-tsan test-fuzz test-valgrind \
        test-armhf clean

all: build

deps:
	@scripts/install-deps

build: deps
	$(CONFIGURE) -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	scripts/demo $(BUILD)

test: test-plain test-asan test-tsan test-fuzz test-valgrind test-armhf

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	$(CONFIGURE) -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=address,undefined
	cmake --build $(BUILD)-asan -j $(JOBS)
	ctest --test-dir $(BUILD)-asan --output-on-failure -j $(JOBS)

# The two threads meet in the transport; the end-to-end tests run the tool
# (built with the same sanitizer) through every flow.
test-tsan: deps
	$(CONFIGURE) -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=thread
	cmake --build $(BUILD)-tsan -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1:exitcode=66 \
	  ctest --test-dir $(BUILD)-tsan --output-on-failure -j $(JOBS) -R 'mbim_ctx|api|e2e'

test-fuzz:
	WERROR=$(WERROR) scripts/fuzz $(FUZZ_SECONDS)

test-valgrind: build
	scripts/valgrind-check $(BUILD)

test-armhf:
	WERROR=$(WERROR) scripts/armhf-test $(BUILD)-armhf

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-armhf build-fuzz
