# A thin driver over CMake presets. `make test` is all a newcomer needs.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: deps test test-asan bench format

deps:
	scripts/install-deps

test: deps
	cmake --preset dev
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev -j $(JOBS)

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
