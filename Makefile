# Tallyvane: the two set-up commands are `make run` and `make test`.
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
DEBUG_DIR := build/debug
TSAN_DIR := build/tsan
CMAKE_COMMON := -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: deps build run test test-asan test-tsan bench format clean

deps:
	@scripts/deps.sh

$(RELEASE_DIR)/CMakeCache.txt:
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_COMMON)

build: $(RELEASE_DIR)/CMakeCache.txt
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target programs

run: deps build
	@scripts/run.sh $(RELEASE_DIR)/tallyvane

$(DEBUG_DIR)/CMakeCache.txt:
	cmake -S . -B $(DEBUG_DIR) -DCMAKE_BUILD_TYPE=Debug -DTV_SANITIZE=address,undefined $(CMAKE_COMMON)

$(TSAN_DIR)/CMakeCache.txt:
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DTV_SANITIZE=thread -DTV_TSAN_ONLY=ON

test-asan: $(DEBUG_DIR)/CMakeCache.txt
	cmake --build $(DEBUG_DIR) -j $(JOBS)
	cd $(DEBUG_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

test-tsan: $(TSAN_DIR)/CMakeCache.txt
	cmake --build $(TSAN_DIR) -j $(JOBS) --target tsan_tests
	cd $(TSAN_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

test: deps
	$(MAKE) test-asan
	$(MAKE) test-tsan

bench: deps $(RELEASE_DIR)/CMakeCache.txt
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	@for b in $(RELEASE_DIR)/bench/bench_*; do [ -x "$$b" ] && { echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b"; }; done; true

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
