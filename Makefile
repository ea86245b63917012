# The two commands of the README: `make run` and `make test`. Each installs what is missing
# (Debian packages, as root or through sudo), builds, and then runs the monitor or every test.
# `make install` installs the monitor (prefix /usr/local; PREFIX=... and DESTDIR=... change it),
# `make package` builds its Debian package in the build folder.

BUILD_DIR ?= build
RUN_DIR   ?= run
JOBS      ?= $(shell nproc)
PREFIX    ?=

# What building and running the monitor needs.
RUN_PACKAGES = build-essential cmake g++ pkg-config \
               qt6-base-dev qt6-multimedia-dev qt6-serialport-dev \
               libsndfile1-dev libsamplerate0-dev librrd-dev \
               libxcb1-dev fonts-wqy-microhei qt6-translations-l10n libcap2-bin \
               prometheus-cpp-dev libcivetweb-dev

# What the tests and benchmarks need besides.
TEST_PACKAGES = libgtest-dev libgmock-dev libbenchmark-dev \
                iproute2 iputils-ping \
                python3-aiosmtpd pulseaudio pulseaudio-utils clang-format \
                xvfb trayer x11-utils openbox xdotool samba smbclient \
                desktop-file-utils dpkg-dev mgetty-voice mgetty-pvftools baresip-core sip-tester dbus-daemon rrdtool \
                prometheus

# What the benchmarks compare with; neither the monitor nor its tests need it.
BENCH_PACKAGES = fping

# What `make fuzz` builds with: clang's libFuzzer and sanitizers.
FUZZ_PACKAGES = clang libclang-rt-14-dev

CONFIGURE = cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

FUZZ_DIR     ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: run test bench fuzz deps run-deps build monitor install package clean format

run-deps:
	@tools/install-deps.sh $(RUN_PACKAGES)

deps:
	@tools/install-deps.sh $(RUN_PACKAGES) $(TEST_PACKAGES)

# The monitor alone.
monitor: run-deps
	@$(CONFIGURE)
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target tarnwicker

# Everything: the monitor, the tests, the benchmarks.
build: deps
	@$(CONFIGURE)
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: monitor
	@tools/grant-ping.sh $(BUILD_DIR)/tarnwicker
	@tools/seed-run-dir.sh $(RUN_DIR)
	$(BUILD_DIR)/tarnwicker --data-dir $(RUN_DIR) $(ARGS)

test: build
	@tools/run-tests.sh $(BUILD_DIR)

bench: build
	@tools/install-deps.sh $(BENCH_PACKAGES)
	@tools/run-benchmarks.sh $(BUILD_DIR)

# The WAV reader under libFuzzer (clang, ASan, UBSan) for FUZZ_SECONDS, starting from the checked-in
# corpus; what it finds goes to $(FUZZ_DIR)/found (copy the inputs worth keeping into the corpus).
fuzz: deps
	@tools/install-deps.sh $(FUZZ_PACKAGES)
	@CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target wave_reader_fuzz
	@mkdir -p $(FUZZ_DIR)/found
	$(FUZZ_DIR)/tests/wave_reader_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -artifact_prefix=$(FUZZ_DIR)/found/ \
		$(FUZZ_DIR)/found tests/fuzz/corpus/wave_reader

install: monitor
	cmake --install $(BUILD_DIR) $(if $(PREFIX),--prefix $(PREFIX))

package: monitor
	@tools/install-deps.sh dpkg-dev
	cd $(BUILD_DIR) && cpack -G DEB

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
