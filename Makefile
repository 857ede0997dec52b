# Convenience entry points; each script installs what it needs first.
BUILD ?= build

.PHONY: demo test build
demo:
	@bash scripts/demo.sh $(BUILD)
test:
	@bash scripts/test.sh $(BUILD)
build:
	@bash scripts/build.sh $(BUILD)

.PHONY: fuzz
# A long fuzz run of the card report path (FUZZ_SECONDS, default 600).
FUZZ_SECONDS ?= 600
fuzz: build
	@bash scripts/fuzz.sh $(FUZZ_SECONDS) $(BUILD)
