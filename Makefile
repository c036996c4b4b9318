# The two commands of the README: `make run` and `make test`.
# Both install what is missing, configure, build, then start the program or run every test.
# `make check-sanitize` runs every test again on a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, in a build tree of its own.

BUILD_DIR  ?= build
BUILD_TYPE ?= RelWithDebInfo

# Debian 12 packages that build the program and its tests.
BUILD_PACKAGES := build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools \
	qt6-multimedia-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev \
	libxkbcommon-dev libbenchmark-dev
# What the program needs at run time beyond the libraries above: a Qt platform plugin, and the
# desktop's mail hand-over (xdg-email) for File Send.
RUN_PACKAGES := qt6-qpa-plugins xdg-utils
# What the tests need: an FTP server, a virtual display and Xlib to act as its window manager,
# `ip`/`unshare` for the private network, another program's RTF reader, a D-Bus daemon for a
# private session bus (notifications, the tray), and the desktop's validators for the installed
# launcher, metainfo and MIME package.
TEST_PACKAGES := python3-pyftpdlib xvfb xauth libx11-dev iproute2 util-linux unrtf \
	dbus-daemon desktop-file-utils appstream shared-mime-info
# What `make deb` needs beyond the build: dpkg-shlibdeps (finds the libraries' packages) and
# `file`, which CPack uses to find the programs among the installed files.
DEB_PACKAGES := dpkg-dev file

# What the fuzz targets need: clang and its libFuzzer and sanitizer run-time libraries.
FUZZ_PACKAGES := clang libclang-rt-14-dev
# The fuzz targets build apart, with clang; `make fuzz` runs each for FUZZ_SECONDS, `make test`
# for FUZZ_TEST_SECONDS.
FUZZ_DIR          ?= build-fuzz
FUZZ_SECONDS      ?= 600
FUZZ_TEST_SECONDS ?= 5
CCACHE_LAUNCHER   := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Where `make install` puts the program; DESTDIR stages the whole tree elsewhere (packaging).
PREFIX  ?= /usr/local
DESTDIR ?=

.PHONY: all deps test-deps configure build run test check-sanitize fuzz-deps fuzz-configure fuzz \
	install deb bench format clean

all: build

deps:
	@tools/install-packages.sh $(BUILD_PACKAGES) $(RUN_PACKAGES)

test-deps:
	@tools/install-packages.sh $(BUILD_PACKAGES) $(RUN_PACKAGES) $(TEST_PACKAGES) $(FUZZ_PACKAGES)

configure:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps configure
	cmake --build $(BUILD_DIR)

run: build
	$(BUILD_DIR)/src/quillpad

test: test-deps configure fuzz-configure
	cmake --build $(BUILD_DIR)
	tools/run-tests.sh $(BUILD_DIR)
	cmake --build $(FUZZ_DIR) --target fuzz_all
	tools/run-tests.sh $(FUZZ_DIR)

fuzz-deps:
	@tools/install-packages.sh $(BUILD_PACKAGES) $(FUZZ_PACKAGES)

fuzz-configure: fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQUILLPAD_FUZZ=ON -DQUILLPAD_FUZZ_TEST_SECONDS=$(FUZZ_TEST_SECONDS) $(CCACHE_LAUNCHER)

# Each fuzz target for FUZZ_SECONDS; findings go to $(FUZZ_DIR)/fuzz-artifacts/.
fuzz: fuzz-configure
	cmake --build $(FUZZ_DIR) --target fuzz_all
	tools/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The sanitized build: -O1 keeps it fast enough to run every test, frame pointers give whole
# stacks, and undefined behaviour ends the process like a memory error does (no report goes
# unnoticed in a test that passes). ccache makes a rebuild after a small change quick.
SANITIZE_DIR      ?= build-sanitize
SANITIZE_FLAGS    := -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
SANITIZE_PACKAGES := ccache

check-sanitize: test-deps
	@tools/install-packages.sh $(SANITIZE_PACKAGES)
	cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
		-DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZE_FLAGS)" \
		-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DQUILLPAD_TEST_TIMEOUT=1200
	cmake --build $(SANITIZE_DIR)
	tools/sanitize/run-sanitized.sh $(SANITIZE_DIR)

# Installs into $(DESTDIR)$(PREFIX). Installed for real (no DESTDIR), the desktop's caches
# are brought up to date so that menus, icons and the log file type show at once.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"
	@if [ -z "$(DESTDIR)" ]; then \
		! command -v update-mime-database >/dev/null || update-mime-database "$(PREFIX)/share/mime"; \
		! command -v update-desktop-database >/dev/null || update-desktop-database -q "$(PREFIX)/share/applications"; \
		! command -v gtk-update-icon-cache >/dev/null || gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor"; \
	fi

# A Debian package of the same files, installed under /usr: $(BUILD_DIR)/quillpad_<version>_<arch>.deb
deb: build
	@tools/install-packages.sh $(DEB_PACKAGES)
	cd $(BUILD_DIR) && cpack -G DEB

# What the benchmarks compare against: an FTP server and curl.
BENCH_PACKAGES := python3-pyftpdlib curl

bench: deps
	@tools/install-packages.sh $(BENCH_PACKAGES)
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLPAD_BENCH=ON
	cmake --build $(BUILD_DIR)
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done

format:
	cmake --build $(BUILD_DIR) --target format

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)
