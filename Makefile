# Set-up, build and test in two commands: `make run` and `make test`.
.PHONY: all deps deps-run deps-package configure build build-app run test wine-test windows windows-check asan-test tsan-test fuzz bench flake-hunt deb package-check journal-check format clean

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20

all: build

deps:
	@scripts/install-deps.sh test

deps-run:
	@scripts/install-deps.sh run

deps-package:
	@scripts/install-deps.sh package

configure: deps
	cmake --preset default

build: configure
	cmake --build --preset default -j $(JOBS)

# Only what the program needs: the window program and the simulator.
build-app: deps-run
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target lrfcontrol lrfsim

run: build-app
	./build/app/lrfcontrol --simulate

test: build
	ctest --preset default -j $(JOBS)
	$(MAKE) wine-test

# Windows cross-build, its tests under Wine and the round-trip figures; says so and
# passes when wine64 or mingw-w64 are missing.
wine-test: deps
	JOBS=$(JOBS) scripts/run-wine-tests.sh

# Every program for Windows: Qt for Windows built once from Debian's sources into
# ~/.cache/lrfcontrol (LRF_QT_WINDOWS names another folder), the mingw cross-build,
# the NSIS installer and the portable zip in build-mingw/packages.
windows: deps
	JOBS=$(JOBS) scripts/build-windows.sh

# The Windows build's test suites under Wine, the installer installed silently and
# the installed programs driven end to end under Wine and Xvfb.
windows-check: build windows
	JOBS=$(JOBS) scripts/check-windows.sh build build-mingw

asan-test: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

tsan-test: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

bench: build
	scripts/run-benchmarks.sh build

# The whole suite RUNS times, every second run beside a load on every core, and
# each test that failed with how often.
RUNS ?= 20
flake-hunt: build
	JOBS=$(JOBS) scripts/flake-hunt.sh $(RUNS) build

# The Debian package of the programs, in build/packages (cpack -G DEB in build/).
# Installs only what building the package needs; what else is installed (the
# test libraries) is built as well.
deb: deps-package
	cmake --preset default
	cmake --build --preset default -j $(JOBS)
	rm -f build/packages/lrfcontrol_*.deb
	cd build && cpack -G DEB

# Checks the package's data, contents and validators (lintian too: any error or
# warning fails) and runs the unpacked programs; as root it also installs the
# package, runs it and removes it again.
package-check: deps deb
	scripts/check-package.sh build $(if $(filter 0,$(shell id -u)),--install)

# The whole program under Xvfb, a run of 1500 shots ended from outside and started again.
journal-check: build
	scripts/journal-crash-check.sh build 1500

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz build-mingw build-mingw-core
