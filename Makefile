# A thin driver over CMake presets. `make test` is all a newcomer needs.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: deps build test test-asan bench format demo gui

deps:
	scripts/install-deps

build: deps
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)

test: build
	ctest --preset dev -j $(JOBS)

# The example installation, run end to end on a scratch copy (demo-run/).
demo: build
	scripts/demo

# The desk on a scratch copy of the example installation (gui-run/).
gui: build
	scripts/gui

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

bench: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	bench/run build/release

format:
	git ls-files '*.cpp' '*.hpp' | xargs clang-format -i
