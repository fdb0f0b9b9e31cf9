# The two commands of the README: `make run` and `make test`. Both install
# what is missing first, so they work on a fresh Debian machine.

JOBS ?= $(shell nproc)
TEST_BUILD := build/test
RELEASE_BUILD := build/release

WINDOWS_BUILD := build/windows

.PHONY: all deps-run deps-test deps-bench deps-package deps-windows run test bench bench-settings fuzz package package-windows windows build-test build-release clean

all: build-release

# `make run` installs what building and running need; `make test` the rest.
deps-run:
	@bash scripts/setup-deps.sh run

deps-test:
	@bash scripts/setup-deps.sh test

deps-bench:
	@bash scripts/setup-deps.sh bench

deps-package:
	@bash scripts/setup-deps.sh package

deps-windows:
	@bash scripts/setup-deps.sh windows

build-release: deps-run
	cmake -S . -B $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release -DTAVRO_TESTS=OFF >/dev/null
	cmake --build $(RELEASE_BUILD) -j $(JOBS)

build-test: deps-test
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTAVRO_SANITIZE=ON -DTAVRO_WERROR=ON >/dev/null
	cmake --build $(TEST_BUILD) -j $(JOBS)

run: build-release
	./$(RELEASE_BUILD)/app/tavro

test: build-test
	cd $(TEST_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps-bench build-release
	bash bench/mirror_bench.sh $(RELEASE_BUILD)
	bash bench/many_pairs.sh $(RELEASE_BUILD)
	bash bench/window_bench.sh $(RELEASE_BUILD)
	bash bench/restore_bench.sh $(RELEASE_BUILD)

# How many times one press of "Uložit" replaces Tavro.ini (strace).
bench-settings: deps-test build-release
	bash bench/ini_writes.sh $(RELEASE_BUILD)/app/tavro

# tavro.exe (the window program and the command line) cross-compiled for
# Windows with MinGW-w64 into build/windows.
windows: deps-windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DTAVRO_WERROR=ON -DTAVRO_TESTS=OFF >/dev/null
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The Windows installer and the portable zip, beside tavro.exe.
package-windows: windows
	bash scripts/package_windows.sh $(WINDOWS_BUILD)

# A Debian package in build/package (make test builds and checks it too).
package: deps-package
	bash scripts/package.sh

# Longer fuzzing than the short run inside `make test`: make fuzz FUZZ_SECONDS=600
FUZZ_SECONDS ?= 120
fuzz: deps-test
	bash scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build
