# Two commands for a fresh Debian 12 machine: `make run` and `make test`.
# Both install what is missing, configure and build in build/.

SHELL := /bin/bash
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian packages the build, the tests and the headless snapshot need.
PACKAGES := g++ make cmake qtbase5-dev nlohmann-json3-dev fonts-wqy-microhei qttranslations5-l10n libqt5sql5-sqlite

ifeq ($(shell id -u),0)
SUDO :=
else
SUDO := sudo
endif

.PHONY: all deps configure build run test check-asan clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
	    $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Without a display the program runs headless: it writes snapshot/main.png and
# prints the terminals it found.
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	    $(BUILD_DIR)/bin/tessel-console; \
	else \
	    echo "No display: running headless (offscreen), snapshot in snapshot/main.png"; \
	    TESSEL_SNAPSHOT=snapshot QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bin/tessel-console; \
	fi

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Debian package: `make package` writes $(BUILD_DIR)/tessel-console_VERSION_ARCH.deb;
# `make check-package` then checks it (packaging/check-package.sh). CPack
# needs dpkg-shlibdeps (dpkg-dev) and file for the dependencies; the check
# validates the desktop entry, renders the manual pages and runs lintian.
PACKAGE_TOOLS := dpkg-dev file desktop-file-utils man-db lintian

.PHONY: package-deps package check-package
package-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(PACKAGE_TOOLS)"

package: package-deps configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target package

check-package: package
	bash packaging/check-package.sh $(BUILD_DIR)

# The whole suite LOADED_RUNS times in a row while LOADED_BURNERS CPU-bound
# processes keep the cores busy, as on a CI machine that other work shares.
# Each run's log stays in $(BUILD_DIR)/loaded/; the last line counts the runs
# that passed, and any failure makes the target fail.
LOADED_RUNS ?= 10
LOADED_BURNERS ?= 3
.PHONY: test-loaded
test-loaded: build
	@burners=""; \
	for i in $$(seq $(LOADED_BURNERS)); do ( while :; do :; done ) & burners="$$burners $$!"; done; \
	trap 'kill $$burners 2>/dev/null' EXIT INT TERM; \
	mkdir -p $(BUILD_DIR)/loaded; passed=0; \
	for run in $$(seq $(LOADED_RUNS)); do \
	    log=$(abspath $(BUILD_DIR))/loaded/run-$$run.log; \
	    if (cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)) > $$log 2>&1; then \
	        passed=$$((passed + 1)); echo "run $$run of $(LOADED_RUNS): passed"; \
	    else \
	        echo "run $$run of $(LOADED_RUNS): FAILED, log in $$log"; \
	        sed -n '/tests FAILED:/,$$p' $$log; \
	    fi; \
	done; \
	echo "test-loaded: $$passed of $(LOADED_RUNS) runs passed with $(LOADED_BURNERS) busy processes"; \
	test $$passed -eq $(LOADED_RUNS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
# tests/lsan.supp lists the leak suppressions and why each is there.
check-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DTESSEL_BUILD_BENCH=OFF \
	    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	    ctest --output-on-failure -j $(JOBS)

# Benchmarks: build, then run every program of bench/; each prints its figures
# and asserts nothing. bench/README.md holds the figures of one run.
BENCHES := bench_startup bench_throughput bench_memory bench_export bench_finder bench_history bench_runner bench_longtext bench_replay bench_batch bench_fleet
.PHONY: bench
bench: configure
	cmake -S . -B $(BUILD_DIR) -DTESSEL_BUILD_BENCH=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)
	@for b in $(BENCHES); do echo; echo "== $$b"; $(BUILD_DIR)/bin/$$b || exit 1; done

# The simulated SDK's own tests (no QApplication, no widgets) under
# ThreadSanitizer. Qt is not built for it; tests/tsan.supp lists the
# suppressions and why each is there. Nothing of our own code is suppressed.
TSAN_DIR ?= build-tsan
.PHONY: check-tsan clean-tsan
check-tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_BUILD_BENCH=OFF \
	    -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer"
	cmake --build $(TSAN_DIR) -j $(JOBS) --target tessel_simulator_tests
	cd $(TSAN_DIR) && \
	    TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1 \
	    ctest --output-on-failure -j $(JOBS) -L simulator
clean: clean-tsan
clean-tsan:
	rm -rf $(TSAN_DIR)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) snapshot

# Fuzzing: libFuzzer targets over every text that comes from outside (fuzz/),
# built with clang, coverage and the sanitizers in build-fuzz/. `make fuzz`
# runs each target for FUZZ_SECONDS on a fresh copy of its seed corpus;
# `make fuzz-smoke` is the short run for CI. A failing input is kept in
# build-fuzz/artifacts/.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 10
FUZZ_TARGETS := records rangecheck export fleet simulator jsonlayout requesttarget historyimport runline junittext targets
# clang 14 and its runtime libraries (libFuzzer, the sanitizers); the package
# that holds them is only recommended by clang, so it is named here.
FUZZ_PACKAGES := clang libclang-rt-14-dev

.PHONY: fuzz-deps fuzz-build fuzz fuzz-smoke fuzz-clean

fuzz-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"

fuzz-build: fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_FUZZ=ON \
	    -DTESSEL_BUILD_TESTS=OFF -DTESSEL_BUILD_BENCH=OFF
	cmake --build $(FUZZ_DIR) --target tessel_fuzzers -j $(JOBS)

# $(1): seconds per target. Ends with one line "fuzz: N passed, N failed".
# Inputs are cut to 4096 bytes, those of runline to 256 KiB: its seed nested
# 75,000 levels deep must come whole.
define run-fuzzers
	@passed=0; failed=0; \
	mkdir -p $(FUZZ_DIR)/artifacts; \
	for t in $(FUZZ_TARGETS); do \
	    work=$(FUZZ_DIR)/corpus/$$t; log=$(FUZZ_DIR)/fuzz_$$t.log; \
	    rm -rf $$work && mkdir -p $$work && cp fuzz/corpus/$$t/* $$work/; \
	    echo "fuzz_$$t: $(1) s, log in $$log"; \
	    maxlen=4096; case $$t in runline) maxlen=262144;; esac; \
	    if UBSAN_OPTIONS=print_stacktrace=1 $(FUZZ_DIR)/bin/fuzz_$$t -max_total_time=$(1) -max_len=$$maxlen -timeout=30 \
	            -dict=fuzz/json.dict -artifact_prefix=$(abspath $(FUZZ_DIR))/artifacts/$$t- \
	            $$work > $$log 2>&1; then \
	        passed=$$((passed + 1)); grep -a 'DONE\|Done' $$log | tail -n 2; \
	    else \
	        failed=$$((failed + 1)); tail -n 60 $$log; \
	    fi; \
	done; \
	echo "fuzz: $$passed passed, $$failed failed"; \
	test $$failed -eq 0
endef

fuzz: fuzz-build
	$(call run-fuzzers,$(FUZZ_SECONDS))

fuzz-smoke: fuzz-build
	$(call run-fuzzers,$(FUZZ_SMOKE_SECONDS))

clean: fuzz-clean
fuzz-clean:
	rm -rf $(FUZZ_DIR)
