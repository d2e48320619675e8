# Two commands for a newcomer on a Debian machine:
#   make run    builds census and starts it in the current directory
#   make test   builds census and runs every test
# Both install the build tools they need first when they are missing.

BUILD_PACKAGES := cmake g++ make libgtest-dev util-linux
# CI turns warnings into errors.
CONFIGURE_FLAGS := $(if $(CI),-DCENSUS_WERROR=ON)

.PHONY: run test test-asan deps format format-check clean

run: deps
	cmake --preset default $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset default --target census -j2
	./build/default/census

test: deps
	cmake --preset default $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset default -j2
	ctest --preset default

test-asan: deps
	cmake --preset asan $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset asan -j2
	ctest --preset asan

deps:
	@tools/install-deps $(BUILD_PACKAGES)

SOURCES = $(shell git ls-files '*.cc' '*.h')

format:
	clang-format -i $(SOURCES)

format-check:
	@tools/install-deps clang-format
	clang-format --dry-run -Werror $(SOURCES)

clean:
	rm -rf build
