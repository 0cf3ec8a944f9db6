# Entry points for a fresh machine: `make run` and `make test`.
PRESET ?= debug
BUILD_DIR := build/$(PRESET)
JOBS ?= $(shell nproc)

DEB_PACKAGES := cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libsqlite3-dev \
  qt6-charts-dev libqt6sql6-sqlite libqt6opengl6-dev xvfb xauth socat sqlite3 \
  libqt6svg6 qt6-svg-dev dpkg-dev desktop-file-utils appstream poppler-utils clang fonts-wqy-microhei python3 python3-pyvisa-py python3-serial file \
  pkgconf libmosquitto-dev mosquitto mosquitto-clients openssl

.PHONY: deps configure build run test test-asan package fuzz clean

deps:
	@missing=$$(for p in $(DEB_PACKAGES); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing: $$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages. Run:"; echo "  sudo apt-get install -y $$missing"; exit 1; \
	  fi; \
	fi

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./scripts/run-with-sim.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300 $(CTEST_ARGS)

test-asan:
	$(MAKE) test PRESET=asan

# The Debian package, from a release build: build/release/qle_<version>_<arch>.deb
PACKAGE_PRESET ?= release
package:
	$(MAKE) build PRESET=$(PACKAGE_PRESET)
	cd build/$(PACKAGE_PRESET) && cpack -G DEB
	@ls -1 build/$(PACKAGE_PRESET)/*.deb

# libFuzzer targets for the reply parsers, each run FUZZ_SECONDS (default 60).
FUZZ_SECONDS ?= 60
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run.sh

# A simulated day of polling and recording against the virtual instrument (not
# in CI): resident memory and rows written. SOAK_ARGS e.g. "--hours 48 --scale 0".
# Then a full day at one row a second (86,400 rows) saved, loaded back and
# exported, then SOAK_KILLS kills of a recording, each checked for lost rows.
SOAK_KILLS ?= 200
.PHONY: soak
soak: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ./bin/qle_soak $(SOAK_ARGS)
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ./bin/qle_soak --scale 0 --save-load-export --max-growth-mb 20
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen QLE_CRASH_KILLS=$(SOAK_KILLS) ./bin/tst_crashsafe_recording

clean:
	rm -rf build

# Benchmarks: the benchmark programs and what they drive (psu-sim, the catalogue,
# qle), built with the release preset, then every figure. See README, "Benchmarks".
# A program that does not build is no older copy run instead: its goals count as
# missed.
.PHONY: bench
bench:
	$(MAKE) configure PRESET=release
	@rm -f build/release/bin/bench_*
	-cmake --build build/release -j $(JOBS) --target bench_programs
	-cmake --build build/release -j $(JOBS) --target bench_graph
	./bench/run-benchmarks.sh build/release
