# The two commands of the README: `make run` and `make test`. Each installs what is missing
# (Debian packages, as root or through sudo), builds, and then runs the monitor or every test.

BUILD_DIR ?= build
RUN_DIR   ?= run
JOBS      ?= $(shell nproc)

PACKAGES = build-essential cmake g++ pkg-config \
           qt6-base-dev qt6-multimedia-dev \
           libgtest-dev libgmock-dev libbenchmark-dev \
           fonts-wqy-microhei iproute2 iputils-ping \
           python3-aiosmtpd pulseaudio pulseaudio-utils clang-format \
           xvfb trayer libsndfile1-dev libsamplerate0-dev

.PHONY: run test bench deps build clean format

deps:
	@tools/install-deps.sh $(PACKAGES)

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@tools/seed-run-dir.sh $(RUN_DIR)
	$(BUILD_DIR)/tarnwicker --data-dir $(RUN_DIR) $(ARGS)

test: build
	@tools/run-tests.sh $(BUILD_DIR)

bench: build
	@tools/run-benchmarks.sh $(BUILD_DIR)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
