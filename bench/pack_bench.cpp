// Opening a level pack of a few megabytes against plain uncompress of the same entries from
// memory. The open reads the file, checks every crc32 and inflates everything into one block;
// it should cost no more than 1.2 times the bare inflation. And a crafted archive of half a
// megabyte whose directory claims two million entries: its open should fail in well under a
// millisecond and take no memory to speak of (peak_growth_MB).

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "client/core/pack_file.h"
#include "tools/writers/pack_writer.h"

namespace {

struct Level {
    std::string path;
    std::vector<std::vector<uint8_t>> packed;
    std::vector<uint32_t> sizes;
    uint32_t total = 0;
};

// Texture-like contents: smooth gradients with some noise, so they pack to about a third.
std::vector<uint8_t> Texture(uint32_t seed, size_t size) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        size_t x = i % 256, y = i / 256;
        bytes[i] = static_cast<uint8_t>((x + y * (seed % 3 + 1)) / 4 + ((state >> 16) % 3 == 0));
    }
    return bytes;
}

const Level& TheLevel() {
    static Level level = [] {
        Level l;
        std::vector<PackSource> files;
        for (uint32_t i = 0; i < 32; ++i)
            files.push_back({"tex" + std::to_string(100 + i) + ".pcx", Texture(i, 128 * 1024)});
        files.push_back({"grid.dat", Texture(99, 64 * 1024)});
        for (const PackSource& f : files) {
            l.packed.push_back(DeflateBytes(f.bytes.data(), f.bytes.size()));
            l.sizes.push_back(static_cast<uint32_t>(f.bytes.size()));
            l.total += static_cast<uint32_t>(f.bytes.size());
        }
        char dir[] = "/tmp/quorrin-bench-XXXXXX";
        if (!mkdtemp(dir))
            std::abort();
        l.path = std::string(dir) + "/bench.zpk";
        std::vector<uint8_t> pack = BuildPackFile("bench.zpk", files);
        FILE* f = std::fopen(l.path.c_str(), "wb");
        if (!f || std::fwrite(pack.data(), 1, pack.size(), f) != pack.size())
            std::abort();
        std::fclose(f);
        return l;
    }();
    return level;
}

void InflateAll(const Level& l, std::vector<uint8_t>& out) {
    uint8_t* p = out.data();
    for (size_t i = 0; i < l.packed.size(); ++i) {
        uLongf size = l.sizes[i];
        if (uncompress(p, &size, l.packed[i].data(), l.packed[i].size()) != Z_OK)
            std::abort();
        p += size;
    }
}

void OpenPack(const Level& l) {
    PackFile pack(l.path.c_str(), 1);
    if (pack.state != 1)
        std::abort();
    benchmark::DoNotOptimize(pack.dataBlock.get());
}

// A directory of two million zeroed entries deflated as a stream (as a whole it would be 568 MB),
// with no data area: about 552 KB.
std::vector<uint8_t> HostileDirectoryPack() {
    constexpr uint32_t kEntries = 2000000;
    z_stream z{};
    if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK)
        std::abort();
    std::vector<uint8_t> zeros(kPackEntrySize * 1000), packed, out(64 * 1024);
    for (uint32_t written = 0; written <= kEntries; written += 1000) {
        const bool last = written == kEntries;
        z.next_in = zeros.data();
        z.avail_in = last ? 0 : static_cast<uInt>(zeros.size());
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            packed.insert(packed.end(), out.data(), out.data() + (out.size() - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return AssemblePackFileFromPacked("hostile.zpk", packed, kEntries, {});
}

double PeakRssMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// First of all, so that the peak before it is the process's own.
void BM_PackOpenHostileDirectory(benchmark::State& state) {
    const std::vector<uint8_t> bytes = HostileDirectoryPack();
    const double before = PeakRssMB();
    for (auto _ : state) {
        PackFile pack;
        if (pack.OpenPackFileFromMemory("hostile.zpk", bytes.data(), bytes.size(), 1) == 0)
            std::abort();
        benchmark::DoNotOptimize(pack.errorCode);
    }
    state.counters["file_KB"] = bytes.size() / 1024.0;
    state.counters["peak_growth_MB"] = PeakRssMB() - before;
}
BENCHMARK(BM_PackOpenHostileDirectory)->Unit(benchmark::kMillisecond);

void BM_RawInflate(benchmark::State& state) {
    const Level& l = TheLevel();
    std::vector<uint8_t> out(l.total);
    for (auto _ : state) {
        InflateAll(l, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * l.total);
}
BENCHMARK(BM_RawInflate)->Unit(benchmark::kMillisecond);

void BM_PackOpen(benchmark::State& state) {
    const Level& l = TheLevel();
    for (auto _ : state)
        OpenPack(l);
    state.SetBytesProcessed(int64_t(state.iterations()) * l.total);
}
BENCHMARK(BM_PackOpen)->Unit(benchmark::kMillisecond);

// Both in turn, so that the ratio comes from the same moments of a shared machine.
void BM_PackOpenOverRawInflate(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const Level& l = TheLevel();
    std::vector<uint8_t> out(l.total);
    Clock::duration raw{}, open{};
    for (auto _ : state) {
        auto t0 = Clock::now();
        InflateAll(l, out);
        auto t1 = Clock::now();
        OpenPack(l);
        auto t2 = Clock::now();
        raw += t1 - t0;
        open += t2 - t1;
    }
    state.counters["ratio"] = double(open.count()) / double(raw.count());
    state.counters["packed_MB"] = [&] {
        double n = 0;
        for (const auto& p : l.packed)
            n += double(p.size());
        return n / 1e6;
    }();
    state.counters["inflated_MB"] = l.total / 1e6;
}
BENCHMARK(BM_PackOpenOverRawInflate)->Unit(benchmark::kMillisecond);

}  // namespace
