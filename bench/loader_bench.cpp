// The loader on a maximal voice file (just under the store's 125 s), 24 kHz
// speech with a few lost packets. The progress line goes to /dev/null while
// the benchmark runs. heap_allocs and heap_bytes count what one load takes
// from operator new: the decoder state, and nothing per packet.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "bench/bench_streams.h"
#include "loader/pcm_store.h"
#include "tools/streamwriter/frame_writer.h"

namespace {

std::atomic<int64_t> g_allocs{0};
std::atomic<int64_t> g_allocBytes{0};

// 6249 frames of 480 samples: 124.98 s, the longest file the store takes.
constexpr int32_t kMaxFilePackets = 6249;

class StderrToNull {
 public:
  StderrToNull() : saved_(::dup(2)) {
    std::fflush(stderr);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::close(null);
  }
  ~StderrToNull() {
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
  }

 private:
  int saved_;
};

void BM_LoadMaximalFile(benchmark::State& state) {
  SyntheticStreamOptions o = BenchStreamOptions(24, true, 1);
  o.packets = kMaxFilePackets;
  const std::string path =
      (std::filesystem::temp_directory_path() / ("tavimo-bench-" + std::to_string(::getpid()) + ".slk"))
          .string();
  WriteBytesToFile(path, BuildVoiceFile(BuildSyntheticStream(o)));

  PcmStore store;
  int64_t allocs = 0;
  int64_t allocBytes = 0;
  bool ok = true;
  {
    StderrToNull quiet;
    for (auto _ : state) {
      store.byteCount = 0;
      const int64_t a0 = g_allocs.load();
      const int64_t b0 = g_allocBytes.load();
      ok = store.LoadVoiceFile(path) && ok;
      allocs = g_allocs.load() - a0;
      allocBytes = g_allocBytes.load() - b0;
    }
  }
  std::filesystem::remove(path);
  if (!ok) state.SkipWithError("the file did not load");

  const double audioSeconds = store.byteCount / 2 / 24000.0;
  state.counters["audio_s"] = audioSeconds;
  state.counters["x_realtime"] = benchmark::Counter(
      audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["heap_allocs"] = static_cast<double>(allocs);
  state.counters["heap_bytes"] = static_cast<double>(allocBytes);
}

}  // namespace

BENCHMARK(BM_LoadMaximalFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Counting allocator for the heap counters above. GCC takes free() on a
// pointer that operator new returned for a mismatch; here it is the pairing.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  g_allocs.fetch_add(1, std::memory_order_relaxed);
  g_allocBytes.fetch_add(static_cast<int64_t>(n), std::memory_order_relaxed);
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
