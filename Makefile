# Quenta build entry points. CMake does the work; this file only drives it.
#   make demo     install what is missing, build, run the demo job
#   make test     install what is missing, build and run the suite (optimised, then ASan+UBSan,
#                 then the thread stress test and the editor mailbox under ThreadSanitizer)
#   make bench    build optimised and run the benchmarks
#   make install  copy the plug-in bundle to ~/.vst/
#   make fuzz     build the libFuzzer targets with clang and run each for FUZZ_SECONDS
#   make update-editor-golden  rewrite the editor's golden image from what the editor draws now
#   make update-panel-golden   the same for the whole panel's golden image
#   make docs     redraw docs/panel.png and the README's factory program list

JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
BUILD       ?= build
ASAN_BUILD  ?= build-asan
TSAN_BUILD  ?= build-tsan
FUZZ_BUILD  ?= build-fuzz
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan test test-release test-asan test-tsan bench demo install fuzz clean \
	update-editor-golden update-panel-golden panel-picture readme-programs docs

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

# Leaks are checked, except what fontconfig keeps for the process's life (tests/lsan.supp).
test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer: only the plug-in, the thread stress test and the editor's mailbox tests are
# built and run.
$(TSAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENTA_SANITIZE=thread $(CMAKE_FLAGS)

test-tsan: deps $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target Quenta quenta_threads_tests quenta_editor_tests \
	  quenta_panel_tests
	mkdir -p $(TSAN_BUILD)/test-home
	HOME=$(CURDIR)/$(TSAN_BUILD)/test-home TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  $(TSAN_BUILD)/tests/quenta_threads_tests
	HOME=$(CURDIR)/$(TSAN_BUILD)/test-home TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  $(TSAN_BUILD)/tests/quenta_editor_tests --gtest_filter='Mailbox.*:ParamMailbox.*'
	HOME=$(CURDIR)/$(TSAN_BUILD)/test-home TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  $(TSAN_BUILD)/tests/quenta_panel_tests --gtest_filter='Lamps.*'

test: test-release test-asan test-tsan

# The editor's golden image (tests/editor/data/controls.png) from what the editor draws now;
# run it after checking the actual and diff images a failing test wrote.
update-editor-golden: build
	cd $(BUILD)/tests && QUENTA_UPDATE_GOLDEN=1 ./quenta_editor_tests --gtest_filter='Golden.*'

# The panel's golden image (tests/panel/data/panel.png) from what the editor draws now, in the
# suites' home (every program the initial sound).
update-panel-golden: build
	cd $(BUILD)/tests && HOME=$(CURDIR)/$(BUILD)/test-home QUENTA_UPDATE_GOLDEN=1 \
	  ./quenta_panel_tests --gtest_filter='PanelGolden.*'

# The README's picture of the panel: the factory bank's program PANEL_PROGRAM, drawn headless
# in a home of its own (so that no start-up bank of the user's is shown).
PANEL_PROGRAM ?= 54
FACTORY_BANK = $(BUILD)/Quenta.vst/Contents/Resources/init.fxb
panel-picture: build
	mkdir -p $(BUILD)/docs-home docs
	HOME=$(CURDIR)/$(BUILD)/docs-home $(BUILD)/tools/quenta-render --bank $(FACTORY_BANK) \
	  -p $(PANEL_PROGRAM) --editor-png docs/panel.png

# The README's list of factory programs, from their source resources/factory/programs.txt.
readme-programs: build
	$(BUILD)/tools/quenta-make-factory-bank --list resources/factory/programs.txt \
	  > $(BUILD)/programs.md
	awk -v list=$(BUILD)/programs.md \
	  '/<!-- factory-programs -->/ { print; while ((getline l < list) > 0) print l; skip = 1; next } \
	   /<!-- \/factory-programs -->/ { skip = 0 } !skip' README.md > $(BUILD)/README.md
	mv $(BUILD)/README.md README.md

# Everything the README shows that is made from the sources.
docs: panel-picture readme-programs

bench: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target quenta_bench
	$(BUILD)/bench/quenta_bench

# The demo piece on three factory programs, one part each, mixed into demo.wav: the chords
# (MIDI channel 1) pulse in eighth notes of the piece's tempo on "Clocked Pluck" (54), the
# melody (channel 2) sings on "Expressive Lead" (63) with its wheel vibrato and bends, the bass
# (channel 3) plays "Pluck Bass" (37). Each pass prints the program, the peak of demo.wav so far
# and the realtime factor. The panel, as the editor shows the chords' program, goes to panel.png.
DEMO_MIDI = resources/demo/demo.mid
DEMO_RENDER = $(BUILD)/tools/quenta-render --bank $(BUILD)/Quenta.vst/Contents/Resources/init.fxb --bench

demo: build
	$(BUILD)/tools/quenta-info $(BUILD)/Quenta.vst/Contents/x86_64-linux/Quenta.so
	$(DEMO_RENDER) -p 54 --channel 1 -o demo.wav $(DEMO_MIDI)
	$(DEMO_RENDER) -p 63 --channel 2 --mix -o demo.wav $(DEMO_MIDI)
	$(DEMO_RENDER) -p 37 --channel 3 --mix -o demo.wav $(DEMO_MIDI)
	$(BUILD)/tools/quenta-render --bank $(FACTORY_BANK) -p 54 --editor-png panel.png

install: build
	mkdir -p $(HOME)/.vst
	rm -rf $(HOME)/.vst/Quenta.vst
	cp -R $(BUILD)/Quenta.vst $(HOME)/.vst/

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENTA_FUZZ=ON $(CMAKE_FLAGS)

fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	mkdir -p $(FUZZ_BUILD)/fuzz-home
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	  name=$$(basename $$f); mkdir -p $(FUZZ_BUILD)/corpus/$$name; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  HOME=$(CURDIR)/$(FUZZ_BUILD)/fuzz-home $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$name fuzz/seeds/$$name || exit 1; \
	done

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
