// An icon turned into a BMP file, as each icon request does.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "desktop/BitmapWriter.h"
#include "platform/WindowSystem.h"

namespace {

// A 32x32 icon in 32-bit colour whose GetDIBits fills the rows and leaves the header be.
class IconBitmap : public IDeviceBitmap {
public:
    bool GetObjectA(BitmapDescription* description) override {
        *description = BitmapDescription{32, 32, 1, 32};
        return true;
    }
    int GetDIBits(uint32_t lines, uint8_t*, size_t, uint8_t* pixels, size_t pixelSize) override {
        std::memset(pixels, 0x5A, pixelSize);
        return static_cast<int>(lines);
    }
};

// (d) WriteBmp for one icon.
void BM_WriteBmp(benchmark::State& state) {
    IconBitmap icon;
    std::string failure;
    size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> file = WriteBmp(icon, &failure);
        bytes += file.size();
        benchmark::DoNotOptimize(file.data());
    }
    // 54 bytes of headers and 32 rows of 128 bytes.
    if (!failure.empty() || bytes != 4150u * static_cast<size_t>(state.iterations()))
        state.SkipWithError("not the icon's BMP");
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteBmp);

}  // namespace
