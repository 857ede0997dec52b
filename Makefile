# Convenience entry points; each script installs what it needs first.
BUILD ?= build

.PHONY: demo test build
# The demo's options go in ARGS: make demo ARGS="--card 42 --interactive"; one route only
# with ARGS="--route plugin" or ARGS="--route bridge".
demo:
	@bash scripts/demo.sh $(BUILD) -- $(ARGS)
test:
	@bash scripts/test.sh $(BUILD)
build:
	@bash scripts/build.sh $(BUILD)

.PHONY: fuzz
# A long fuzz run of the card report path (FUZZ_SECONDS, default 600).
FUZZ_SECONDS ?= 600
fuzz: build
	@bash scripts/fuzz.sh $(FUZZ_SECONDS) $(BUILD)

.PHONY: bitmaps
# Rewrites res/status_*.bmp from their pixel maps (res/status_*.txt) and rebuilds; the
# enlarged previews are in $(BUILD)/previews/.
bitmaps: build
	@cmake --build $(BUILD) --target update_status_bitmaps
	@cmake --build $(BUILD)

.PHONY: release
# The release package: a Release build of the plug-in and tarvx-diag.exe with the sample
# page, registry files and installation guide, the bridge's installers, its extension
# packages and policy templates, as $(BUILD)/npTARVX-<version>.zip; with
# TARVX_CRX_KEY=<private key .pem> also the signed .crx for self-hosting.
release:
	@bash scripts/release.sh $(BUILD)

.PHONY: bench
# Builds and runs the benchmarks under Wine and prints their figures (docs/PERFORMANCE.md).
bench:
	@bash scripts/bench.sh $(BUILD)

.PHONY: soak
# The soak under faults at full size (many minutes): handle, GDI object and thread counts
# back to their baseline and every card right, under Wine; prints a table (scripts/soak.sh).
soak:
	@bash scripts/soak.sh $(BUILD)

.PHONY: format lint
# Formats the C/C++ sources with clang-format (.clang-format); the test command checks it.
format:
	@bash scripts/format.sh
# clang-tidy (.clang-tidy) on the product code and shellcheck on every script, as in the
# test command; needs a configured build (make build).
lint:
	@bash scripts/lint.sh $(BUILD)
	@bash scripts/shellcheck.sh
