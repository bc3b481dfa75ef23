# Thin wrapper over the CMake presets: `make run` and `make test` are all a newcomer needs.
PRESET ?= release

.PHONY: run build test asan clean

build:
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET)

run: build
	./build/$(PRESET)/cmatinv

test: build
	ctest --preset $(PRESET)

asan:
	$(MAKE) test PRESET=asan

clean:
	rm -rf build
