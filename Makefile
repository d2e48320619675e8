# Two commands for a newcomer on a Debian machine:
#   make run    builds census and starts it in the current directory
#   make test   builds census and runs every test
# Both install the build tools they need first when they are missing.

# What building census needs; the tests need the rest.
RUN_PACKAGES := cmake g++ make libcli11-dev nlohmann-json3-dev libboost1.81-dev libssl-dev
BUILD_PACKAGES := $(RUN_PACKAGES) libgtest-dev util-linux tmux time mandoc iso-codes openssl \
  chromium tidy imagemagick poppler-utils libxml2-utils
VERSION := $(shell grep -m1 -o 'census VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
# CI turns warnings into errors.
CONFIGURE_FLAGS := $(if $(CI),-DCENSUS_WERROR=ON)

# census.exe, its icon and its installer; running them under Wine (the
# installer is a 64-bit program too, so no 32-bit Wine is needed).
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix googletest mandoc librsvg2-bin imagemagick nsis
WINE_PACKAGES := wine wine64 python3-pefile
WINE := WINEPREFIX=$(CURDIR)/build/windows/wineprefix WINEDEBUG=-all

FUZZ_PACKAGES := clang libclang-rt-dev
FUZZ_SECONDS ?= 60

.PHONY: census run test test-asan windows test-windows fuzz bench bench-serve install package package-windows \
  run-deps deps format format-check clean

# build/default/census alone, without the tests or what they need.
census: run-deps
	cmake --preset default $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset default --target census -j2

run: census
	./build/default/census

test: deps
	cmake --preset default $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset default -j2
	ctest --preset default

test-asan: deps
	cmake --preset asan $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset asan -j2
	ctest --preset asan

# census.exe for 64-bit Windows, cross-compiled: build/windows/census.exe
windows: deps
	@tools/install-deps $(WINDOWS_PACKAGES)
	cmake --preset windows $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset windows --target census -j2

# The whole suite against census.exe, run under Wine, and the packages:
# the installer in a Wine prefix of its own, the zip's listing. Wine
# (re)builds its prefix once before the tests run side by side.
test-windows: package-windows
	@tools/install-deps $(WINE_PACKAGES)
	cmake --build --preset windows -j2
	$(WINE) wineboot && $(WINE) wineserver -w
	ctest --preset windows

# The libFuzzer targets, each for FUZZ_SECONDS: the whole program, from the
# seed corpus in tests/fuzz/corpus, the request handling of census serve,
# from tests/fuzz/request_corpus, and a start's recovery from the save
# journal it finds, from tests/fuzz/journal_corpus; what they learn goes to
# build/fuzz/.
fuzz: deps
	@tools/install-deps $(FUZZ_PACKAGES)
	cmake --preset fuzz $(CONFIGURE_FLAGS) >/dev/null
	cmake --build --preset fuzz -j2
	mkdir -p build/fuzz/corpus
	build/fuzz/census_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 build/fuzz/corpus tests/fuzz/corpus
	mkdir -p build/fuzz/request_corpus
	build/fuzz/census_request_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 build/fuzz/request_corpus tests/fuzz/request_corpus
	mkdir -p build/fuzz/journal_corpus
	build/fuzz/census_journal_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 build/fuzz/journal_corpus tests/fuzz/journal_corpus

# census against awk and the floor; see the README's performance section.
BENCH_LINES ?= 1000000
BENCH_RUNS ?= 5
bench: deps
	RUNS=$(BENCH_RUNS) bench/run $(BENCH_LINES)

# census serve against nginx with wrk, on loopback: see the README.
BENCH_SECONDS ?= 10
bench-serve: deps
	bench/serve $(BENCH_SECONDS)

# Installs census, its manual page and README under PREFIX (default /usr/local).
PREFIX ?= /usr/local
install: census
	cmake --install build/default --prefix $(PREFIX) --strip

# build/default/census_<version>_<arch>.deb, checked with lintian: no error
# and no warning.
package: census
	@tools/install-deps dpkg-dev lintian
	cmake --build --preset default --target compressed_docs
	cd build/default && cpack -G DEB
	lintian --allow-root --fail-on error,warning build/default/census_$(VERSION)_amd64.deb

# build/windows/census-<version>-windows-x86_64.zip and
# build/windows/census-<version>-setup.exe
package-windows: windows
	cmake --build --preset windows --target installer -j2
	cd build/windows && cpack -G ZIP
	cd build/windows && sha256sum census-$(VERSION)-setup.exe census-$(VERSION)-windows-x86_64.zip >SHA256SUMS

run-deps:
	@tools/install-deps $(RUN_PACKAGES)

deps:
	@tools/install-deps $(BUILD_PACKAGES)
	@command -v npm >/dev/null || tools/install-deps nodejs npm
	@[ -d tests/web/node_modules/playwright-core ] || \
	  npm ci --prefix tests/web --no-audit --no-fund --loglevel=error

# The README's picture: the report of the example data, as Chromium shows it.
doc/report.png: census
	rm -rf build/report-example && mkdir -p build/report-example
	cp examples/cens-stat.dat build/report-example/
	cd build/report-example && SOURCE_DATE_EPOCH=$$(git log -1 --format=%ct) ../default/census report
	chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1100,1500 \
	  --screenshot=$(CURDIR)/doc/report.png file://$(CURDIR)/build/report-example/census-report.html

# The README's picture of census serve: list 1 in Chromium, from the
# browser journey.
doc/serve.png: census deps
	node tests/web/journey.mjs build/default/census $(CURDIR)/doc/serve.png

# The README's picture of the Windows installer, on a virtual screen.
doc/installer.png: package-windows
	@tools/install-deps xvfb xdotool
	tools/installer-pictures build/windows/census-$(VERSION)-setup.exe $@

SOURCES = $(shell git ls-files '*.cc' '*.h')

format:
	clang-format -i $(SOURCES)

format-check:
	@tools/install-deps clang-format
	clang-format --dry-run -Werror $(SOURCES)

clean:
	rm -rf build
