# make run        - install what building and running need, build, start Trawlkit
# make test       - also install what the tests need, build the test configuration, run every test,
#                   then the threaded tests (internet layer, engine) under ThreadSanitizer
# make test-tsan  - only the ThreadSanitizer run
# make install    - build, then install under PREFIX (default /usr/local; DESTDIR honoured)
# make uninstall  - remove what make install put under the same PREFIX and DESTDIR
# make package    - build build/trawlkit_VERSION_ARCH.deb
# make lint       - check that package with lintian
BUILD      ?= build
TEST_BUILD ?= build-test
TSAN_BUILD ?= build-tsan
# The test binaries of the code that runs on more than one thread: the worker and the download
# page it reports to, the cache writer, the requests sent ahead. Qt itself is not built with
# ThreadSanitizer, so reports with a Qt frame are suppressed (tests/support/tsan.supp says why).
TSAN_TESTS := test_inet test_engine test_engine_e2e test_monitor
TSAN_LABELS := ^(inet|engine|monitor)$$
JOBS       ?= $(shell nproc)
ARGS       ?=
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all bootstrap bootstrap-test bootstrap-package bootstrap-lint build build-tests run test \
        test-tsan install uninstall package lint clean

all: build

bootstrap:
	@scripts/bootstrap

bootstrap-test:
	@scripts/bootstrap test

bootstrap-package:
	@scripts/bootstrap package

bootstrap-lint:
	@scripts/bootstrap lint

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(TEST_BUILD)/build.ninja:
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTRAWLKIT_TESTS=ON -DTRAWLKIT_SANITIZE=ON

$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTRAWLKIT_TESTS=ON -DTRAWLKIT_TSAN=ON

build: bootstrap $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-tests: bootstrap-test $(TEST_BUILD)/build.ninja
	cmake --build $(TEST_BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD) $(ARGS)

test: build-tests
	cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300
	$(MAKE) test-tsan

test-tsan: bootstrap-test $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 900 -L '$(TSAN_LABELS)'

install: build
	@DESTDIR="$(DESTDIR)" scripts/local-install install $(BUILD) "$(PREFIX)"

uninstall:
	@DESTDIR="$(DESTDIR)" scripts/local-install uninstall $(BUILD) "$(PREFIX)"

package: bootstrap-package build
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/trawlkit_*.deb

lint: bootstrap-lint package
	lintian --fail-on error $(BUILD)/trawlkit_*.deb

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(TSAN_BUILD)
