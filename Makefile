# Tallyvane: the two set-up commands are `make run` and `make test`; `make install` and
# `make package` put it on a machine.
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
DEBUG_DIR := build/debug
TSAN_DIR := build/tsan
CMAKE_COMMON := -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
# `make install` puts the programs under PREFIX, inside DESTDIR when that is set (for staging).
PREFIX ?= /usr/local
DESTDIR ?=
# Installing and packaging build only what they install, not every test and benchmark first.
INSTALL_CONFIG := -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON

.PHONY: deps bench-deps build run test test-asan test-tsan bench install package format clean

deps:
	@scripts/deps.sh

# What only the benchmarks need (ser2net, their peer); `make test` does not install it.
bench-deps:
	@scripts/bench-deps.sh

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

bench: deps bench-deps $(RELEASE_DIR)/CMakeCache.txt
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	@for b in $(RELEASE_DIR)/bench/bench_*; do [ -x "$$b" ] && { echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b"; }; done; true

install: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_COMMON) $(INSTALL_CONFIG) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target installables
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE_DIR)
	@# The component library is new to the linker's cache of a real installation.
	@if [ -z "$(DESTDIR)" ] && [ "$$(id -u)" -eq 0 ]; then ldconfig; fi

# The Debian packages build/release/*_<version>_<arch>.deb (the program, the library and its
# development files), installed under /usr.
package: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_COMMON) $(INSTALL_CONFIG) -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target installables
	cd $(RELEASE_DIR) && cpack -G DEB
	@ls -l $(RELEASE_DIR)/*.deb

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
