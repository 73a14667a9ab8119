# The two commands for a newcomer are `make demo` and `make test`; see README.md.
SHELL := /bin/bash
JOBS  ?= $(shell nproc)

.PHONY: all setup build build-x86_64 build-i686 demo test bench dist screenshots clean format

all: build

setup:
	@bash scripts/setup.sh

build/x86_64/build.ninja: Makefile
	cmake -S . -B build/x86_64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	      -DCMAKE_BUILD_TYPE=Release -DQX_TESTS=ON >/dev/null

build/i686/build.ninja: Makefile
	cmake -S . -B build/i686 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	      -DCMAKE_BUILD_TYPE=Release -DQX_LANE_TESTS=ON >/dev/null

build-x86_64: build/x86_64/build.ninja
	cmake --build build/x86_64 -j $(JOBS)

build-i686: build/i686/build.ninja
	cmake --build build/i686 -j $(JOBS)

build: setup
	@$(MAKE) --no-print-directory build-x86_64 build-i686

demo: build
	@bash scripts/demo.sh

test: build
	@bash scripts/run-tests.sh

bench: build
	@bash scripts/run-tests.sh --bench

dist: build
	@bash scripts/dist.sh

# Pictures of the tray menu and the dialogs; OUT=docs/screenshots refreshes the README's.
screenshots: build
	@bash scripts/screenshots.sh $(OUT)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' '*.c')

clean:
	rm -rf build
