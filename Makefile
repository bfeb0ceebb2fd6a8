# Two commands on a fresh machine: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# `make sanitize`: the tests built with AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of their own (not part of `make test`: it takes about twice as long). TEST_ARGS go to ctest.
ASAN_BUILD ?= build-asan
TEST_ARGS ?=

.PHONY: all setup configure build test run bench install clean sanitize

all: build

setup:
	bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	bash scripts/test.sh $(BUILD)

# Any report of either sanitizer fails the test it happened in. Leak reports are off: the GUI,
# font and media libraries keep caches for the life of the process.
sanitize: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DMELODRIFT_ASAN=ON -DMELODRIFT_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	bash scripts/test.sh $(ASAN_BUILD) $(TEST_ARGS)

run: build
	bash scripts/run-demo.sh $(BUILD)

bench: build
	bash scripts/bench.sh $(BUILD)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
