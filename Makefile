# Two commands for a fresh machine: `make test` and `make demo`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build test demo bench fuzz view clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

demo: build
	bash scripts/demo.sh $(BUILD_DIR)

bench: build
	bash bench/run.sh $(BUILD_DIR)

# Each fuzz target for FUZZ_SECONDS (FUZZ_TARGETS: a few of them only).
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
fuzz: build
	bash tests/fuzz/run.sh $(BUILD_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# The page of web/ showing FILE (a --gltf-lightmap .glb or .gltf), served on
# localhost; prints its address.
FILE ?=
view: deps
	@if [ -z "$(FILE)" ]; then echo "usage: make view FILE=lit.glb" >&2; exit 2; fi
	node web/serve.js "$(FILE)"

clean:
	rm -rf $(BUILD_DIR)
