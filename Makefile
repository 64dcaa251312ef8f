# Quenta build entry points. CMake does the work; this file only drives it.
#   make demo     install what is missing, build, run the demo job
#   make test     install what is missing, build and run the suite (optimised, then ASan+UBSan,
#                 then the thread stress test under ThreadSanitizer)
#   make bench    build optimised and run the benchmarks
#   make install  copy the plug-in bundle to ~/.vst/
#   make fuzz     build the libFuzzer targets with clang and run each for FUZZ_SECONDS

JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
BUILD       ?= build
ASAN_BUILD  ?= build-asan
TSAN_BUILD  ?= build-tsan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan test test-release test-asan test-tsan bench demo install fuzz clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENTA_SANITIZE=address,undefined $(CMAKE_FLAGS)

build-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer: only the plug-in and the thread stress test are built and run.
$(TSAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENTA_SANITIZE=thread $(CMAKE_FLAGS)

test-tsan: deps $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target Quenta quenta_threads_tests
	mkdir -p $(TSAN_BUILD)/test-home
	HOME=$(CURDIR)/$(TSAN_BUILD)/test-home TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  $(TSAN_BUILD)/tests/quenta_threads_tests

test: test-release test-asan test-tsan

bench: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target quenta_bench
	$(BUILD)/bench/quenta_bench

# The demo piece's sound: Block A a filtered sawtooth, Block B a square an octave down, Block C
# a soft triangle two octaves up; the modulation wheel brings in vibrato, pitch bend spans two
# semitones.
DEMO_PATCH = \
  --set "A:Cutoff=0.6" --set "A:Peak=0.3" --set "A:EM Atk=0.2" --set "A:Pan=0.35" \
  --set "A:Over Rel=on" --set "A:EM O.Rel=0.45" \
  --set "A:FM Mod=on" --set "A:FM MG1=40" --set "A:MG1 MSrc=MW+" --set "A:MG1 Freq=5.5" \
  --set "B:Waveform=Square" --set "B:Octave=16'" --set "B:Cutoff=0.45" --set "B:Volume=0.18" \
  --set "B:Pan=0.65" --set "B:Over Rel=on" --set "B:EM O.Rel=0.4" \
  --set "B:FM Mod=on" --set "B:FM MG1=40" --set "B:MG1 MSrc=MW+" --set "B:MG1 Freq=5.5" \
  --set "C:Waveform=Triangle" --set "C:Octave=4'" --set "C:Volume=0.12" --set "C:EM Dcy=0.5" \
  --set "C:EM Sus=0.3" \
  --set "PB Range=2" --set "Final=0.3"

demo: build
	$(BUILD)/tools/quenta-info $(BUILD)/Quenta.vst/Contents/x86_64-linux/Quenta.so
	$(BUILD)/tools/quenta-render $(DEMO_PATCH) --bench -o demo.wav resources/demo/demo.mid

install: build
	mkdir -p $(HOME)/.vst
	rm -rf $(HOME)/.vst/Quenta.vst
	cp -R $(BUILD)/Quenta.vst $(HOME)/.vst/

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENTA_FUZZ=ON $(CMAKE_FLAGS)

fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	  name=$$(basename $$f); mkdir -p $(FUZZ_BUILD)/corpus/$$name; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$name fuzz/seeds/$$name || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
