# make run        - install what building and running need, build, start Trawlkit
# make test       - also install what the tests need, build the test configuration, run every test
# make install    - build, then install under PREFIX (default /usr/local; DESTDIR honoured)
# make uninstall  - remove what make install put under the same PREFIX and DESTDIR
# make package    - build build/trawlkit_VERSION_ARCH.deb
# make lint       - check that package with lintian
BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc)
ARGS       ?=
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all bootstrap bootstrap-test bootstrap-package bootstrap-lint build build-tests run test \
        install uninstall package lint clean

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

build: bootstrap $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-tests: bootstrap-test $(TEST_BUILD)/build.ninja
	cmake --build $(TEST_BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD) $(ARGS)

test: build-tests
	cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

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
	rm -rf $(BUILD) $(TEST_BUILD)
