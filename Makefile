# Entry points: `make run` (the panel against the simulated controller) and `make test`.
# Both install what is missing (scripts/install-deps), configure with CMake + Ninja and build.

BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test test-asan test-tsan bench run soak upgrade-soak fuzz \
	windows test-windows clean package test-package screenshots mutants

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

test-asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DLAMP_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug"

test-tsan:
	$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DLAMP_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug"

# Fuzz targets need clang; they get a build folder of their own.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DLAMP_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run-fuzz $(FUZZ_BUILD)

bench: build
	scripts/run-bench $(BUILD)

run: build
	@scripts/run-panel $(BUILD)

# The panel against the simulator for SOAK_SECONDS of polling and automatic sequences, with its
# memory, threads and descriptors watched (scripts/run-soak); not part of `make test`.
SOAK_SECONDS ?= 600

soak: build
	SOAK_SECONDS=$(SOAK_SECONDS) scripts/run-soak $(BUILD)

# velora-flash writing with verify UPGRADE_SOAK_RUNS times against the simulator injecting faults
# (scripts/run-upgrade-soak); a full run of 1000 writes docs/upgrade-soak.md.
UPGRADE_SOAK_RUNS ?= 1000

upgrade-soak: build
	UPGRADE_SOAK_RUNS=$(UPGRADE_SOAK_RUNS) scripts/run-upgrade-soak $(BUILD)

# Windows: comlane.dll and velora-flash.exe cross-built with mingw-w64 (cmake/toolchain-mingw64.cmake)
# into build-windows/bin, and their tests run under wine against the simulator of the Linux build.
WINDOWS_BUILD ?= build-windows

windows:
	@scripts/install-deps --windows
	cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target comlane velora-flash

test-windows: windows $(BUILD)/build.ninja
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target comlane_wine_tests
	cmake --build $(BUILD) -j $(JOBS) --target velora-sim
	tests/windows/run-wine-tests $(WINDOWS_BUILD) $(BUILD)

# The Debian package, built in a folder of its own for /usr with Debian's hardening flags, and its
# checks (unpacked into a temporary root, programs run from there, lintian).
PACKAGE_BUILD ?= build-package

package: deps
	CFLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DLAMP_PACKAGING=ON -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_INSTALL_PREFIX=/usr
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack
	@ls $(PACKAGE_BUILD)/package/*.deb

test-package: package
	cd $(PACKAGE_BUILD) && ctest -L package --output-on-failure

# Remakes every picture in docs/screens with the project's own screenshot tools.
screenshots: build
	scripts/make-screenshots $(BUILD)

clean:
	rm -rf build build-asan build-tsan build-fuzz build-windows build-package build-mutants

# Deliberate faults from tests/mutants.txt, one at a time, on a copy of the tree in build-mutants/;
# prints those no test caught and the share killed. Not part of `make test`. MUTANTS=ID,ID runs a few.
MUTANTS ?=

mutants: deps
	scripts/run-mutants --jobs $(JOBS) $(if $(MUTANTS),--only $(MUTANTS))
