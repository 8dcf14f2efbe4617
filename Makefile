# Lumora: every target first installs what is missing, then configures and builds.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench fuzz package clean

all: build

deps:
	@bash tools/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD)

run: build
	@if [ -x $(BUILD)/lumora ]; then \
	  $(BUILD)/lumora; \
	else \
	  echo "The player (build/lumora) is not there yet; everything else is built."; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure

package: build
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/lumora_*.deb

bench: build
	@bash bench/run.sh $(BUILD)

fuzz: deps
	@if [ ! -f $(FUZZ_BUILD)/build.ninja ]; then \
	  CXX=clang++ cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo; \
	fi
	cmake --build $(FUZZ_BUILD)
	@mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/fuzz-document-reader $(FUZZ_BUILD)/corpus fuzz/corpus \
	  -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
