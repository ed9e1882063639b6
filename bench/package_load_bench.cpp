// Loading the largest image (FLASH.bin, 110,672,263 bytes) from a package behind a 2 MB
// executable, with the file in the page cache: the marker scan through the executable
// part plus the reads of every chunk, as its transfer reads them. The plain copy of the
// same size beside it is the memory speed to compare with.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "package/package_header.h"
#include "package/package_image.h"
#include "package/package_marker.h"
#include "session/process_values.h"

namespace {

constexpr uint32_t kFlashBinSize = 110672263;
constexpr std::size_t kExecutableSize = 2 * 1024 * 1024;

// The program file, written once per process and removed at exit.
class BenchPackage {
public:
    BenchPackage() {
        path_ = std::filesystem::temp_directory_path() / ("veltrane-bench-" + std::to_string(getpid()) + ".exe");
        PackageHeader header;
        header.familyCode = 'C';
        header.identificationWord = 47;
        uint32_t offset = kHeaderBlockLength;
        for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
            const uint32_t size = slot == kSlotFlashBin ? kFlashBinSize : 40;
            header.directory[slot] = {1, slot + 1, offset, size};
            offset += size;
        }
        std::ofstream file(path_, std::ios::binary | std::ios::trunc);
        // An executable part full of the marker's first byte: the scan's slowest ordinary case.
        std::vector<char> block(kExecutableSize);
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i % 7 == 0 ? 0x01 : i * 31);
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
        const Marker marker = PackageMarker();
        file.write(reinterpret_cast<const char*>(marker.data()), kMarkerLength);
        const HeaderBlock encoded = EncodePackageHeader(header);
        file.write(reinterpret_cast<const char*>(encoded.data()), kHeaderBlockLength);
        for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
            std::size_t left = header.directory[slot].size;
            while (left > 0) {
                const std::size_t take = std::min(left, block.size());
                file.write(block.data(), static_cast<std::streamsize>(take));
                left -= take;
            }
        }
        file.close();
        ::sync();  // measure reads of clean cached pages, not reads racing the writeback
        SetExecutableFileName(path_.string().c_str());
        DecodePackageDirectory(encoded);
    }
    ~BenchPackage() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

private:
    std::filesystem::path path_;
};

void BM_LoadFlashBinFromPackage(benchmark::State& state) {
    static BenchPackage package;
    currentImageIndex = kSlotFlashBin;
    for (auto _ : state) {
        auto buffer = OpenPackageImage(kStreamChunkSize, "FLASH.bin");
        if (buffer->imageLoad != ImageLoad::kLoaded) state.SkipWithError("FLASH.bin did not load");
        for (uint32_t chunk = 0; chunk < buffer->chunkCount; ++chunk) {
            const uint8_t* bytes = buffer->PayloadBytes(uint64_t{chunk} * kStreamChunkSize, buffer->ChunkLength(chunk));
            if (!bytes) state.SkipWithError("a chunk of FLASH.bin could not be read");
            benchmark::DoNotOptimize(bytes);
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFlashBinSize);
}
BENCHMARK(BM_LoadFlashBinFromPackage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CopyFlashBinSizeInMemory(benchmark::State& state) {
    const std::unique_ptr<char[]> source(new char[kFlashBinSize]());
    for (auto _ : state) {
        std::unique_ptr<char[]> target(new char[kFlashBinSize]);  // fresh pages, as each load has
        std::memcpy(target.get(), source.get(), kFlashBinSize);
        benchmark::DoNotOptimize(target.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFlashBinSize);
}
BENCHMARK(BM_CopyFlashBinSizeInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
