# Convenience entry points; each script installs what it needs first.
BUILD ?= build

.PHONY: demo test build
demo:
	@bash scripts/demo.sh $(BUILD)
test:
	@bash scripts/test.sh $(BUILD)
build:
	@bash scripts/build.sh $(BUILD)
