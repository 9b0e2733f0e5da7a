# Talvane: the two commands of the README, and a few for developers.
#   make run    install what is needed, build, start Talvane (FOLDER=... to list that folder)
#   make test   install what is needed, build, run every test with no display
BUILD      ?= build
TEST_BUILD ?= build-test
CMAKE_GEN  := -G Ninja

.PHONY: setup setup-run build run test bench fuzz format install package clean

PREFIX ?= /usr/local

# Building and running need far fewer packages than the tests do.
setup-run:
	@bash scripts/setup.sh run

setup:
	@bash scripts/setup.sh test

build: setup-run
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVANE_TESTS=OFF
	cmake --build $(BUILD)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)."; \
	  echo "Talvane is a desktop program. Start it from a graphical session, or under a"; \
	  echo "virtual X server:  xvfb-run -a $(BUILD)/talvane   (make test installs xvfb)"; \
	  exit 1; \
	fi
	$(BUILD)/talvane $(if $(FOLDER),"$(FOLDER)")

# Configured once: the build tool configures again by itself when a CMakeLists.txt changes,
# and a second `make test` with nothing changed builds nothing.
test: setup
	@[ -f $(TEST_BUILD)/build.ninja ] || \
	  cmake -S . -B $(TEST_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTALVANE_SANITIZE=ON
	cmake --build $(TEST_BUILD)
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: setup build
	cd $(BUILD) && cpack -G DEB

bench: setup
	cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTALVANE_TESTS=OFF -DTALVANE_BENCH=ON
	cmake --build build-bench --target talvane_bench
	build-bench/talvane_bench

# A long run of the picture fuzzer, by hand (FUZZ_SECONDS, 10 minutes unless set). Inputs it
# finds new go to build-fuzz/scratch, not into fuzz/corpus; to keep them there deliberately:
#   bash fuzz/run_fuzzer.sh merge build-fuzz build-fuzz/scratch
FUZZ_SECONDS ?= 600
fuzz: setup
	bash fuzz/run_fuzzer.sh run build-fuzz $(FUZZ_SECONDS) build-fuzz/scratch

# Formats every C++ source as .clang-format says (`make test` checks it).
format:
	@bash scripts/check_format.sh --fix

clean:
	rm -rf $(BUILD) $(TEST_BUILD) build-bench build-fuzz
