#include "LatencyBenchmarks.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "common/ChildProgram.h"
#include "EchoPeer.h"
#include "PipeNames.h"
#include "PipeTransfers.h"
#include "ipc/LayerByteMessage.h"
#include "ipc/MessageCodec.h"
#include "ipc/ReadWritePipe.h"
#include "property/PropertyClient.h"
#include "state/PropertyUpdateToServer.h"

namespace Orvel::Bench {

namespace {

using Clock = std::chrono::steady_clock;
using State::ClientRole;

constexpr std::chrono::seconds kBound(30);
constexpr std::int64_t kConnectTimeoutMs = 10000;
// Pause before each measured write of a "sporadic" run, untimed: the write
// meets threads (and processors) that have gone to sleep, as a write that
// comes on its own does. Back-to-back runs meet them still awake.
constexpr auto kSporadicPause = std::chrono::microseconds(500);
// Measured time per repetition; the pauses come on top of it.
constexpr double kLatencyMinTimeSeconds = 0.1;
// Written by a PROPERTY_UTIL client, which may write every property.
const std::string kKey = "OrvelTracking.ActivePlugin";

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

// What the listening client has seen last, and when.
struct SeenValue {
  std::mutex mutex;
  std::condition_variable changed;
  std::string value;
  Clock::time_point at;
};

void updateLatency(benchmark::State& state, std::chrono::microseconds pause) {
  const std::string pipeName = uniquePipeName("latency");
  ChildProgram server(ORVEL_PROPERTY_SERVER_PROGRAM, {"--pipe=" + pipeName});
  if (!server.started() || !server.waitForLineStartingWith("listening on ", kBound)) {
    state.SkipWithError("the reference property server did not start");
    return;
  }
  const auto writer = State::PropertyClient::create("bench writer", ClientRole::PROPERTY_UTIL, pipeName, false);
  const auto listener = State::PropertyClient::create("bench listener", ClientRole::TRACKING, pipeName, false);
  if (!writer->initializeOnce(kConnectTimeoutMs) || !listener->initializeOnce(kConnectTimeoutMs)) {
    state.SkipWithError("the property clients could not initialize");
    return;
  }
  SeenValue seen;
  const auto target = listener->getPropertyRaw(kKey);
  EventConnection seenConnection = target->onChanged([&](const State::Property& property) {
    const Clock::time_point now = Clock::now();
    std::string value = property.getStringValue();
    {
      std::lock_guard<std::mutex> lock(seen.mutex);
      seen.value = std::move(value);
      seen.at = now;
    }
    seen.changed.notify_all();
  });
  const auto source = writer->getPropertyRaw(kKey);
  std::uint64_t number = 0;
  for (auto _ : state) {
    if (pause.count() > 0) std::this_thread::sleep_for(pause);
    const std::string value = "bench-" + std::to_string(++number);
    const Clock::time_point start = Clock::now();
    if (!source->setStringValue(ClientRole::PROPERTY_UTIL, value)) {
      state.SkipWithError("the local write was refused");
      break;
    }
    std::unique_lock<std::mutex> lock(seen.mutex);
    if (!seen.changed.wait_for(lock, kBound, [&] { return seen.value == value; })) {
      state.SkipWithError("the second client never saw the write");
      break;
    }
    state.SetIterationTime(seconds(seen.at - start));
  }
  seenConnection.disconnect();
}

void bareRoundTrip(benchmark::State& state, std::chrono::microseconds pause) {
  const std::string pipeName = uniquePipeName("echo");
  ChildProgram peer("/proc/self/exe", {kEchoPeerOption + pipeName});
  if (!peer.started() || !peer.waitForLineStartingWith(kEchoPeerReady, kBound)) {
    state.SkipWithError("the echo peer did not start");
    return;
  }
  const auto pipe = ReadWritePipe::connect(pipeName, kConnectTimeoutMs);
  if (!pipe) {
    state.SkipWithError("could not connect to the echo peer");
    return;
  }
  // The frame a local write sends, with a value as long as the measured ones.
  State::Messages::PropertyUpdateToServer update;
  update.key = kKey;
  update.value = "bench-100";
  const std::vector<std::uint8_t> payload = encodeMessage(update);
  const LayerByteMessage frame(State::Messages::PropertyUpdateToServer::messageName, payload.data(),
                               static_cast<std::uint32_t>(payload.size()));
  const auto total = static_cast<std::uint32_t>(frame.bytes().size());
  std::vector<std::uint8_t> echoed(total);
  for (auto _ : state) {
    if (pause.count() > 0) std::this_thread::sleep_for(pause);
    const Clock::time_point start = Clock::now();
    const bool ok = writeAll(*pipe, frame.bytes().data(), total) && readExactly(*pipe, echoed.data(), 8) &&
                    readExactly(*pipe, echoed.data() + 8, total - 8);
    const Clock::time_point end = Clock::now();
    if (!ok || std::memcmp(echoed.data(), frame.bytes().data(), total) != 0) {
      state.SkipWithError("the echo did not come back whole");
      break;
    }
    state.SetIterationTime(seconds(end - start));
  }
  pipe->close();
}

}  // namespace

void registerLatencyBenchmarks(const BenchOptions& options, std::vector<PairedFigure>& figures) {
  struct Pacing {
    const char* label;
    std::chrono::microseconds pause;
  };
  const Pacing pacings[] = {{"back to back", std::chrono::microseconds(0)}, {"sporadic", kSporadicPause}};
  for (const Pacing& pacing : pacings) {
    const std::string measured = std::string("latency/") + pacing.label + "/update to second client";
    const std::string limit = std::string("latency/") + pacing.label + "/bare round trip";
    for (const auto& [name, function] :
         {std::make_pair(measured, &updateLatency), std::make_pair(limit, &bareRoundTrip)}) {
      auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), function, pacing.pause)
                            ->UseManualTime()
                            ->Unit(benchmark::kMicrosecond);
      if (options.brief) {
        benchmark->Iterations(1);
      } else {
        benchmark->Repetitions(options.repetitions)->MinTime(kLatencyMinTimeSeconds);
      }
    }
    figures.emplace_back(std::string("update latency, ") + pacing.label, "us", "bare round trip", Better::Lower, 3,
                         measured, limit, Metric::MicrosecondsPerIteration);
  }
}

}  // namespace Orvel::Bench
