// Block reduction: bytes per second for a frame's block, 64 KiB and 4 MiB,
// sixteen bytes a step and byte by byte.
#include <benchmark/benchmark.h>

#include "render/block_reduction.h"
#include "sound_blocks.h"

namespace gyrotrail::bench {
namespace {

void BM_ReduceBlock(benchmark::State& state) {
    const auto length = static_cast<uint32_t>(state.range(0));
    const Block bytes = randomBytes(length);
    for (auto _ : state) {
        BlockSums sums = reduceBlock(bytes.data(), length);
        benchmark::DoNotOptimize(sums);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}
BENCHMARK(BM_ReduceBlock)->Arg(kFrameBlockBytes)->Arg(64 << 10)->Arg(4 << 20);

// The byte-by-byte sum the reduction is checked against, for comparison.
void BM_ReduceBlockByteByByte(benchmark::State& state) {
    const auto length = static_cast<uint32_t>(state.range(0));
    const Block bytes = randomBytes(length);
    for (auto _ : state) {
        const uint32_t third = length / 3;
        BlockSums sums{sumSignedBytesScalar(bytes.data(), third),
                       sumSignedBytesScalar(bytes.data() + third, length - third)};
        benchmark::DoNotOptimize(sums);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}
BENCHMARK(BM_ReduceBlockByteByByte)->Arg(kFrameBlockBytes)->Arg(64 << 10)->Arg(4 << 20);

}  // namespace
}  // namespace gyrotrail::bench
