// Throughput of the OLE wrappers on the benchmark generator's load: a
// 50 KiB document wrapped as a Package, as a Paintbrush bitmap and as an
// object with a METAFILEPICT presentation. Prints bytes per second.
#include <benchmark/benchmark.h>

#include "tools/oledocs/ole_wrappers.h"
#include "tools/oledocs/sample_documents.h"

namespace {

using namespace corvid::oledocs;

void BM_WrapPackage(benchmark::State& state) {
  const Bytes document(static_cast<std::size_t>(state.range(0)), std::byte{0x5A});
  for (auto _ : state) {
    Bytes value = WrapPackage("photo.jpg", "C:\\Photos\\photo.jpg", document);
    benchmark::DoNotOptimize(value.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_WrapPackage)->Arg(50 * 1024)->Arg(10 * 1024 * 1024);

void BM_WrapPaintbrush(benchmark::State& state) {
  const Bytes bmp = MakeSampleDocument(DocumentFormat::Bmp, {128, 128});  // 48 KiB
  const Presentation presentation = state.range(0) ? Presentation::Metafile : Presentation::None;
  for (auto _ : state) {
    Bytes value = WrapPaintbrushBitmap(bmp, presentation);
    benchmark::DoNotOptimize(value.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bmp.size()));
}
BENCHMARK(BM_WrapPaintbrush)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
