# make run   - install what is missing, build, start Trawlkit
# make test  - install what is missing, build the test configuration, run every test
BUILD      ?= build
TEST_BUILD ?= build-test
JOBS       ?= $(shell nproc)
ARGS       ?=

.PHONY: all bootstrap build build-tests run test clean

all: build

bootstrap:
	@scripts/bootstrap

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(TEST_BUILD)/build.ninja:
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTRAWLKIT_TESTS=ON -DTRAWLKIT_SANITIZE=ON

build: bootstrap $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-tests: bootstrap $(TEST_BUILD)/build.ninja
	cmake --build $(TEST_BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD) $(ARGS)

test: build-tests
	cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

clean:
	rm -rf $(BUILD) $(TEST_BUILD)
