# make run [SCENE=Tunelight]   install what is missing, build, run a deliverable
# make test                    install what is missing, build, run every test
# make check                   build and run the unit tests alone, in seconds
# make stress [CYCLES=50]       many unblank cycles under the real screen-saver hosts, on two screens
# make fuzz [FUZZ_SECONDS=1800] fuzz the picture loader, the media commands and the sound files
# make install [PREFIX=/usr/local] [DESTDIR=...]   install the four programs
# make package                 build a Debian package of them
# make windows                 cross-compile divor.scr, Rerarir.scr, Flitter.exe, Tunelight.scr
SCENE ?= divor
BUILD ?= build
JOBS ?= $(shell nproc)
# The end-to-end suites mostly wait on screens and hosts: more run side by side than
# there are cores.
TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 2 )))

.PHONY: all deps build run test check stress fuzz install package windows clean
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 1800
CYCLES ?= 50

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/$(SCENE)/$(SCENE)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(TEST_JOBS)

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

stress: build
	@BUILD=$(BUILD) scripts/stress $(CYCLES)

fuzz: build
	@scripts/fuzz $(FUZZ_SECONDS)

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cd $(BUILD) && cpack

windows: build
	@BUILD=$(BUILD) scripts/windows-build

clean:
	rm -rf $(BUILD) build-fuzz build-asan build-windows
