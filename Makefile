# Tallyvane: the two set-up commands are `make run` and `make test`; `make install` and
# `make package` put it on a machine. How each build is configured is in CMakePresets.json.
JOBS ?= $(shell nproc)
# `make install` puts the programs under PREFIX, inside DESTDIR when that is set (for staging).
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: deps bench-deps build run test test-asan test-tsan bench install package format clean

deps:
	@scripts/deps.sh

# What only the benchmarks need (ser2net, their peer); `make test` does not install it.
bench-deps:
	@scripts/bench-deps.sh

# build/<preset> is configured once, by the preset of that name.
build/%/CMakeCache.txt:
	cmake --preset $*

build: build/release/CMakeCache.txt
	cmake --build --preset release -j $(JOBS)

run: deps build
	@scripts/run.sh build/release/tallyvane

test-asan: build/debug/CMakeCache.txt
	cmake --build --preset debug -j $(JOBS)
	ctest --preset debug -j $(JOBS)

test-tsan: build/tsan/CMakeCache.txt
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

test: deps
	$(MAKE) test-asan
	$(MAKE) test-tsan

bench: deps bench-deps build/release/CMakeCache.txt
	cmake --build --preset bench -j $(JOBS)
	@for b in build/release/bench/bench_*; do [ -x "$$b" ] && { echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b"; }; done; true

# Installing and packaging build only what they install, not every test and benchmark first.
install: deps
	cmake --preset release -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build --preset installables -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install build/release
	@# The component library is new to the linker's cache of a real installation.
	@if [ -z "$(DESTDIR)" ] && [ "$$(id -u)" -eq 0 ]; then ldconfig; fi

# The Debian packages build/release/*_<version>_<arch>.deb (the program, the library and its
# development files), installed under /usr.
package: deps
	cmake --preset release -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build --preset installables -j $(JOBS)
	cd build/release && cpack -G DEB
	@ls -l build/release/*.deb

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
