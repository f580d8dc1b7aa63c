// The record walker alone over text-heavy streams in memory, in bytes of stream a second.
#include <benchmark/benchmark.h>

#include "WorkbookStream.h"
#include "text/Vstr.h"
#include "xls/Walker.h"

namespace {

void BM_WalkTextHeavyStream(benchmark::State &state)
{
    static const Bytes stream5 = MakeWorkbookStream(5u << 20, 1, nullptr);
    static const Bytes stream30 = MakeWorkbookStream(30u << 20, 2, nullptr);
    const Bytes &stream = state.range(0) == 5 ? stream5 : stream30;
    for (auto _ : state) {
        Vstr out;
        // The host reserves the stream's size, as the export does with the host's capacity.
        out.Reserve(static_cast<uint32_t>(stream.size()));
        WalkXlsRecords(stream.data(), static_cast<int32_t>(stream.size()), out);
        benchmark::DoNotOptimize(out.GetText());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}

} // namespace

BENCHMARK(BM_WalkTextHeavyStream)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
