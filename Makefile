# Lumora: every target first installs what is missing, then configures and builds.
BUILD      ?= build
CHECK_BUILD ?= build-check
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# Empty: every target the fuzz build made (build-fuzz/targets.txt).
FUZZ_TARGETS ?=
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test check bench fuzz package format clean

all: build

deps:
	@bash tools/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD)

# The player ends a normal quit with 1 (0 when the first-run dialog is
# cancelled); only other codes, a crash among them, fail the target.
run: build
	@if [ -x $(BUILD)/lumora ]; then \
	  status=0; $(BUILD)/lumora || status=$$?; \
	  [ $$status -le 1 ] || exit $$status; \
	else \
	  echo "The player (build/lumora) is not there yet; everything else is built."; \
	fi

test: build
	cd $(BUILD) && ctest --output-on-failure

package: build
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/lumora_*.deb

# The whole suite again, built with AddressSanitizer and UndefinedBehavior-
# Sanitizer in a build folder of its own; any finding fails its test.
check: deps
	@if [ ! -f $(CHECK_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(CHECK_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMORA_SANITIZE=ON \
	    -DLUMORA_BUILD_BENCH=OFF $(CMAKE_FLAGS); \
	fi
	cmake --build $(CHECK_BUILD)
	cd $(CHECK_BUILD) && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:suppressions=$(CURDIR)/tools/sanitizer-suppressions/asan.supp \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/sanitizer-suppressions/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure

bench: build
	@bash bench/run.sh $(BUILD)

fuzz: deps
	@if [ ! -f $(FUZZ_BUILD)/build.ninja ]; then \
	  CXX=clang++ cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo; \
	fi
	cmake --build $(FUZZ_BUILD)
	@targets="$(FUZZ_TARGETS)"; [ -n "$$targets" ] || targets=$$(cat $(FUZZ_BUILD)/targets.txt); \
	for target in $$targets; do \
	  echo "== fuzz-$$target for $(FUZZ_SECONDS) s"; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$target fuzz/corpus/$$target; \
	  $(FUZZ_BUILD)/fuzz-$$target $(FUZZ_BUILD)/corpus/$$target fuzz/corpus/$$target \
	    -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/failed-$$target- || exit 1; \
	done

# Formats every tracked source with .clang-format; `make test` checks it.
format: deps
	@bash tools/check-format.sh . --fix

clean:
	rm -rf $(BUILD) $(CHECK_BUILD) $(FUZZ_BUILD)
