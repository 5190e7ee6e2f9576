# Tavo: `make run` builds and starts the diary, `make test` builds and runs every test.
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The web engine refuses to start its sandbox as root.
ifeq ($(shell id -u),0)
export QTWEBENGINE_DISABLE_SANDBOX = 1
endif

.PHONY: run test package package-test bench bench-link asan deps build format screenshot clean

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

run: build
	$(BUILD)/app/tavo

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

# The Debian package, $(BUILD)/tavo_VERSION_ARCH.deb.
package: build
	cd $(BUILD) && cpack -G DEB

# Installs the package and checks it and the installed programs (needs root or sudo).
package-test: package
	scripts/package-test.sh $(BUILD)

bench: build
	$(BUILD)/bench/tavo_bench --benchmark_min_time=0.5
	$(BUILD)/bench/tavo_publish_bench
	$(BUILD)/bench/tavo_search_bench
	$(BUILD)/bench/tavo_backup_bench
	$(BUILD)/bench/tavo_ftp_bench
	$(BUILD)/bench/tavo_startup_bench
	$(BUILD)/bench/tavo_recovery_bench

# The upload across a link with 20 ms round trips, against curl; needs root (namespaces, TUN).
bench-link: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target tavo_link_relay tavo_upload_link_bench
	bench/delayed_link_bench.sh $(BUILD)

# The tests without windows (the core, publishing, search, the FTP client against its
# scripted and real servers) under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVO_SANITIZE=ON -DTAVO_WIDGETS=OFF -DTAVO_BENCH=OFF
	cmake --build $(ASAN_BUILD)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j2

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

screenshot: build
	scripts/screenshot.sh $(BUILD)/app/tavo docs/screenshot.png

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
