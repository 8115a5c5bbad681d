# Front door: `make example` builds and runs the shipped example,
# `make test` builds and runs every test. Both install missing build
# dependencies first (as root) or say what is missing.
BUILD ?= build
WERROR ?= OFF
CMAKE_ARGS ?=

.PHONY: all deps build example test clean

all: build

deps:
	@scripts/deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DTREEVAL_WERROR=$(WERROR) $(CMAKE_ARGS)
	cmake --build $(BUILD)

example: build
	examples/run-example.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

clean:
	rm -rf $(BUILD)
