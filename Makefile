# Veltrane: one CMake tree, three builds (native Linux, Windows x86_64 run under Wine,
# Windows i686 for XP, Vista and 7 run under 32-bit Wine). `make test` and `make demo` do all the
# set-up a fresh Debian machine needs.

PRESETS := linux windows-x64 windows-x86
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# Every Debian package the build, the tests, the benchmarks and the demo need.
DEB_PACKAGES := \
	build-essential cmake ninja-build git python3 \
	googletest libgtest-dev libgmock-dev libbenchmark-dev \
	mingw-w64 binutils-mingw-w64 wine64 wine32:i386 \
	xvfb imagemagick xdotool fonts-liberation bc \
	gcc-arm-none-eabi binutils-arm-none-eabi llvm python3-pefile \
	clang libclang-rt-14-dev tmux nlohmann-json3-dev

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test demo demo-console clean $(addprefix build-,$(PRESETS)) $(addprefix test-,$(PRESETS))
.PHONY: release

all: build

# Installs what is missing; runs `apt-get update` only when something is. wine32 (the 32-bit
# Windows programs' Wine, beside wine64) needs the i386 architecture, added first.
deps:
	@missing=$$(for p in $(DEB_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing: $$missing"; \
	    { dpkg --print-foreign-architectures | grep -qx i386 || $(SUDO) dpkg --add-architecture i386; } && \
	    $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	else echo "All build and test packages are installed."; fi

build: deps $(addprefix build-,$(PRESETS))

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $* -j $(JOBS)

test: build $(addprefix test-,$(PRESETS))
	@echo "All test suites passed (linux, windows-x64 under Wine, windows-x86 under 32-bit Wine)."

$(addprefix test-,$(PRESETS)): test-%: build-%
	ctest --preset $* -j $(JOBS)

# The demo through the real program: Veltrane.exe under Wine on a virtual display flashes the
# simulated handset. DEMO_WINDOWS=xp|7 picks the road (serial port or WinUSB), DEMO_HANDSET=
# download|winmobile how the handset starts, DEMO_SCALE=N divides the image sizes, DEMO_ARCH=
# x64|x86 which program runs (x86: the 32-bit one, in a 32-bit Windows), DEMO_FLASH_BIN=BYTES
# the size of FLASH.bin instead of the shipped one.
DEMO_WINDOWS ?= xp
DEMO_HANDSET ?= download
DEMO_SCALE ?= 1
DEMO_ARCH ?= x64
DEMO_TARGETS := Veltrane box_watcher winusb_standin rapi_standin process_memory veltrane_host_tools

demo: deps
	cmake --preset windows-$(DEMO_ARCH) >/dev/null
	cmake --build --preset windows-$(DEMO_ARCH) -j $(JOBS) --target $(DEMO_TARGETS)
	@python3 tools/demo/wizard_demo.py --build build/windows-$(DEMO_ARCH) --out demo-out \
	    --windows $(DEMO_WINDOWS) --handset $(DEMO_HANDSET) --scale $(DEMO_SCALE) \
	    $(if $(DEMO_FLASH_BIN),--flash-bin $(DEMO_FLASH_BIN))

# docs/failures.md, written again from the table of run endings (a test compares the two).
.PHONY: failures-doc
failures-doc: build-linux
	build/linux/tools/flash/veltrane-flash failures > docs/failures.md

# The same run through the console flasher on Linux.
demo-console: deps build-linux
	@./tools/demo.sh

# The Debian package of the Linux tools (veltrane-flash, veltrane-pack, handset-sim and their
# man pages): build/linux/deb/veltrane_VERSION_ARCH.deb. dpkg-shlibdeps (dpkg-dev) computes its
# dependencies; the package test reads the man pages with man (man-db).
DEB_PACKAGES += dpkg-dev man-db
.PHONY: deb

deb: deps build-linux
	cd build/linux && cpack --config CPackConfig.cmake
	@ls build/linux/deb/*.deb

clean:
	rm -rf build demo-out

# A release: Veltrane.exe for Windows XP (32-bit) and for Vista and 7 (64-bit), the console
# flasher for both and for Linux, and veltrane-pack for Linux, built in trees of their own
# (build/release/PRESET) with the presets' settings, then written to dist/ with the version in
# their names and SHA256SUMS; tools/release.py refuses a tree with uncommitted changes (before
# anything is built) and a program that carries a firmware package. The builds are reproducible: the same commit gives the same files anywhere.
# VELTRANE_PROGRAMMER=/path/NPRG7200A.hex builds them with your own flash programmer.
RELEASE_BUILDS := build/release
VELTRANE_PROGRAMMER ?= $(CURDIR)/resources/programmer/NPRG7200A.hex

define release_build
	cmake --preset $(1) -B $(RELEASE_BUILDS)/$(1) -DVELTRANE_PROGRAMMER=$(abspath $(VELTRANE_PROGRAMMER)) >/dev/null
	cmake --build $(RELEASE_BUILDS)/$(1) -j $(JOBS) --target $(2)
endef

release: deps
	python3 tools/release.py --source . --check-source
	$(call release_build,linux,veltrane-flash veltrane-pack)
	$(call release_build,windows-x64,Veltrane veltrane-flash)
	$(call release_build,windows-x86,Veltrane veltrane-flash)
	python3 tools/release.py --source . --builds $(RELEASE_BUILDS) --out dist
