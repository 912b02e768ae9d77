# make run [SCENE=Tunelight]   install what is missing, build, run a deliverable
# make test                    install what is missing, build, run every test
SCENE ?= divor
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/$(SCENE)/$(SCENE)

test: build
	cd $(BUILD) && ctest --output-on-failure -j 1

clean:
	rm -rf $(BUILD)
