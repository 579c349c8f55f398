# make run   - install what is missing, build, run the saver full screen under Wine
# make test  - install what is missing, build everything, run every test
# make bench - the benchmarks (decoder against libjpeg-turbo, saver start-up and frame rate)
# make fuzz  - each fuzz target for FUZZ_SECONDS (default 180), keeping what it finds
# make soak  - the saver for SOAK_SECONDS (default 600) under a resource watcher
# make release - installer, zip archive and SHA256SUMS in build/release, the same bytes from any checkout of a commit
# make release-check - make release in two fresh clones of the commit, compared byte for byte

BUILD ?= build
GENERATOR ?= Ninja
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 180
SOAK_SECONDS ?= 600
export CTEST_OUTPUT_ON_FAILURE = 1

.PHONY: all deps build win native fuzz-tree test run bench fuzz soak release release-check clean

all: build

deps:
	@tools/install-deps.sh

build: deps win native fuzz-tree

win:
	cmake -S . -B $(BUILD)/win -G $(GENERATOR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD)/win

# clang's AddressSanitizer: GCC's, at -O2, leaves some loops of the decoder's
# header reader uninstrumented, so an over-read there went unseen.
native:
	cmake -S . -B $(BUILD)/native -G $(GENERATOR) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD)/native

fuzz-tree:
	cmake -S . -B $(BUILD)/fuzz -G $(GENERATOR) -DTAVRIN_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD)/fuzz

test: build
	ctest --test-dir $(BUILD)/native --parallel 2 --timeout 900

run: deps win
	tools/run-saver.sh $(BUILD)

# The decoder benchmark is native (libjpeg-turbo is a Linux library here), built
# as the shipped saver is: GCC 12 at -O2 (RelWithDebInfo), without sanitizers.
bench: deps win
	cmake -S . -B $(BUILD)/bench -G $(GENERATOR) -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_SANITIZE=OFF -DTAVRIN_BENCH=ON $(CMAKE_ARGS) >/dev/null
	cmake --build $(BUILD)/bench
	tools/run-bench.sh $(BUILD)

fuzz: deps fuzz-tree
	tools/fuzz-all.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

soak: deps win
	tools/soak.sh $(BUILD) $(SOAK_SECONDS)

release: deps
	tools/make-release.sh $(BUILD) -G $(GENERATOR) $(CMAKE_ARGS)

release-check: deps
	tools/check-release.sh $(BUILD) -G $(GENERATOR) $(CMAKE_ARGS)

clean:
	rm -rf $(BUILD)
