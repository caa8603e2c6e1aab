#include "ReceiverBenchmarks.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "FrameCounter.h"
#include "FrameFeeder.h"
#include "PipeNames.h"
#include "PipeTransfers.h"
#include "ipc/Client.h"
#include "ipc/ReadWritePipe.h"
#include "state/PropertyUpdateToClientView.h"

namespace Orvel::Bench {

namespace {

constexpr std::int64_t kConnectTimeoutMs = 10000;
// Bytes of frames per block the feeder writes at once.
constexpr std::uint32_t kBlockBytes = 256 * 1024;

struct FrameKind {
  const char* label;           // in benchmark and figure names
  std::uint32_t frameLength;   // bytes per frame
  std::uint64_t framesPerIteration;
};

std::vector<std::uint8_t> makeBlock(const FrameKind& kind) {
  const std::uint32_t count = kBlockBytes / kind.frameLength > 0 ? kBlockBytes / kind.frameLength : 1;
  return FrameFeeder::makeUpdateFrames(kind.frameLength, count);
}

// The program's path: IPC::Client's receiver thread reads and queues each
// frame, its handler thread decodes it in place (as the property client does)
// and calls the subscribed handler.
void receiveWithClient(benchmark::State& state, FrameKind kind) {
  const std::string pipeName = uniquePipeName("receiver");
  FrameFeeder feeder(pipeName, makeBlock(kind), true);
  IPC::Client client(pipeName, "bench receiver", false);
  FrameCounter counter(kind.framesPerIteration);
  const std::size_t expectedValue = FrameFeeder::valueLength(kind.frameLength);
  MessageHandler subscription = client.getParser<State::Messages::PropertyUpdateToClientView>()->addHandler(
      [&](const State::Messages::PropertyUpdateToClientView& update) { counter.add(update.value.size() != expectedValue); });
  if (!feeder.isListening() || !client.connect(kConnectTimeoutMs, kConnectTimeoutMs)) {
    state.SkipWithError("the IPC client could not connect to the feeder");
    return;
  }
  std::uint64_t target = counter.base();
  for (auto _ : state) {
    target += kind.framesPerIteration;
    counter.waitFor(target);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kind.framesPerIteration));
  // Disconnected first, so that no frame still arriving meets a handler list without its handler.
  client.disconnect();
  subscription.release();
  if (counter.sawBadFrame()) state.SkipWithError("a frame arrived damaged");
}

// The limit: the same connection read with the receiver's two exact reads
// per frame, and nothing else.
void receiveBare(benchmark::State& state, FrameKind kind) {
  const std::string pipeName = uniquePipeName("bare-receiver");
  FrameFeeder feeder(pipeName, makeBlock(kind), false);
  const auto pipe = ReadWritePipe::connect(pipeName, kConnectTimeoutMs);
  if (!feeder.isListening() || !pipe) {
    state.SkipWithError("the bare reader could not connect to the feeder");
    return;
  }
  std::vector<std::uint8_t> buffer(kind.frameLength);
  bool ok = true;
  for (auto _ : state) {
    for (std::uint64_t i = 0; i < kind.framesPerIteration && ok; ++i) {
      ok = readExactly(*pipe, buffer.data(), 8);
      std::uint32_t total = 0;
      std::memcpy(&total, buffer.data(), sizeof total);
      ok = ok && total == kind.frameLength && readExactly(*pipe, buffer.data() + 8, total - 8);
    }
    if (!ok) break;
  }
  if (!ok) {
    state.SkipWithError("the bare reader lost the stream");
    return;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kind.framesPerIteration));
  pipe->close();
}

}  // namespace

void registerReceiverBenchmarks(const BenchOptions& options, std::vector<PairedFigure>& figures) {
  const FrameKind kinds[] = {{"60-byte updates", 60, 10000}, {"64 KiB frames", 64 * 1024, 200}};
  for (const FrameKind& kind : kinds) {
    const std::string measured = std::string("receiver/") + kind.label + "/ipc client";
    const std::string limit = std::string("receiver/") + kind.label + "/bare reads";
    for (const auto& [name, function] : {std::make_pair(measured, &receiveWithClient), std::make_pair(limit, &receiveBare)}) {
      auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), function, kind)->UseRealTime();
      if (options.brief) {
        benchmark->Iterations(1);
      } else {
        benchmark->Repetitions(options.repetitions);
      }
    }
    figures.emplace_back(std::string("receiver, ") + kind.label, "frames/s", "bare reads", Better::Higher, 0.8,
                         measured, limit, Metric::ItemsPerSecond);
  }
}

}  // namespace Orvel::Bench
