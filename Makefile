# The two commands of the README. Each installs what is missing, configures, builds and runs.
BUILD      ?= build
TEST_BUILD ?= build-asan
JOBS       ?= $(shell nproc)

.PHONY: all deps demo test bench build build-tests package clean screenshots fuzz translations

all: build

# Each target installs what it needs on top of the build: `make deps PURPOSES="test bench"`.
PURPOSES ?=
deps:
	@bash scripts/install-deps $(PURPOSES)

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_TESTS=OFF

$(TEST_BUILD)/build.ninja: | deps
	cmake -S . -B $(TEST_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_SANITIZE=ON -DTOLVANE_BENCH=OFF

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-tests: deps $(TEST_BUILD)/build.ninja
	cmake --build $(TEST_BUILD) -j $(JOBS)

demo: PURPOSES = demo
demo: build
	bash scripts/demo $(BUILD)

screenshots: PURPOSES = demo
screenshots: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target ui-screenshots -j $(JOBS)
	bash scripts/screenshots $(BUILD)

# Refreshes translations/*.ts from the C++ and QML sources; new texts come in unfinished.
translations: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target translations

test: PURPOSES = test
test: build-tests
	bash scripts/run-tests $(TEST_BUILD)

# Every fuzz harness for FUZZ_SECONDS each (default 600), in its own clang tree.
FUZZ_BUILD ?= build-fuzz
fuzz: PURPOSES = fuzz
fuzz: deps
	FUZZ_SECONDS=$${FUZZ_SECONDS:-600} JOBS=$(JOBS) bash scripts/run-fuzzers $(FUZZ_BUILD)

package: PURPOSES = package
package: build
	cd $(BUILD) && cpack -G DEB
	@echo "Install with: cd $(BUILD) && sudo apt install ./tolvane_*_amd64.deb"

bench: PURPOSES = bench
bench: build
	bash scripts/run-benchmarks $(BUILD)

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(FUZZ_BUILD)
