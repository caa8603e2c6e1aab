#include "SerializationBenchmarks.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ipc/IncomingMessage.h"
#include "ipc/LayerByteMessageParser.h"
#include "property/PropertyCatalogue.h"
#include "state/PropertyDefinitions.h"
#include "state/PropertyDefinitionsView.h"

namespace Orvel::Bench {

namespace {

using State::ClientRole;
using State::Messages::PropertyDefinition;
using State::Messages::PropertyDefinitions;
using State::Messages::PropertyDefinitionsView;

// The rows of the property table, counted where they are written: the
// catalogue holds them all only when every registration ran before main().
constexpr std::size_t kTableRows = 0
#define ORVEL_PROPERTY(...) +1
#define ORVEL_PROPERTY_WITH_FORMATTER(...) +1
#include "property/PropertyTable.inc"
#undef ORVEL_PROPERTY
#undef ORVEL_PROPERTY_WITH_FORMATTER
    ;

// What the server sends: every catalogue row, without change formatters.
PropertyDefinitions catalogueMessage() {
  PropertyDefinitions message;
  for (const auto& [key, definition] : State::getPropertyDefinitions()) {
    PropertyDefinition copy = definition;
    copy.changeFormatter = nullptr;
    message.definitions.emplace(key, std::move(copy));
  }
  return message;
}

// The same data as a JSON object by key; each definition an object of its fields.
std::string writeJson(const PropertyDefinitions& message) {
  nlohmann::json document = nlohmann::json::object();
  for (const auto& [key, definition] : message.definitions) {
    nlohmann::json writers = nlohmann::json::array();
    for (const ClientRole role : definition.writers) writers.push_back(static_cast<std::uint32_t>(role));
    document[key] = {{"writers", std::move(writers)},      {"key", definition.key},
                     {"type", definition.type},             {"defaultValue", definition.defaultValue},
                     {"version", definition.version},       {"persistent", definition.persistent},
                     {"loggable", definition.loggable}};
  }
  return document.dump();
}

bool readJson(const std::string& text, PropertyDefinitions& message) {
  const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  if (!document.is_object()) return false;
  for (const auto& [key, item] : document.items()) {
    PropertyDefinition definition;
    for (const auto& role : item.at("writers")) definition.writers.push_back(static_cast<ClientRole>(role.get<std::uint32_t>()));
    definition.key = item.at("key").get<std::string>();
    definition.type = item.at("type").get<std::string>();
    definition.defaultValue = item.at("defaultValue").get<std::string>();
    definition.version = item.at("version").get<std::uint64_t>();
    definition.persistent = item.at("persistent").get<bool>();
    definition.loggable = item.at("loggable").get<bool>();
    message.definitions.emplace(key, std::move(definition));
  }
  return true;
}

bool sameDefinitions(const PropertyDefinitions& left, const PropertyDefinitions& right) {
  if (left.definitions.size() != right.definitions.size()) return false;
  for (const auto& [key, a] : left.definitions) {
    const auto found = right.definitions.find(key);
    if (found == right.definitions.end()) return false;
    const PropertyDefinition& b = found->second;
    if (a.writers != b.writers || a.key != b.key || a.type != b.type || a.defaultValue != b.defaultValue ||
        a.version != b.version || a.persistent != b.persistent || a.loggable != b.loggable) {
      return false;
    }
  }
  return true;
}

// The rows read in place, first row per key, against the definitions sent.
bool sameDefinitions(const PropertyDefinitionsView& view, const PropertyDefinitions& sent) {
  PropertyDefinitions read;
  for (const PropertyDefinitionsView::Row& row : view.rows) read.definitions.emplace(row.mapKey, row.toDefinition());
  return sameDefinitions(read, sent);
}

// Encoding as a sender does it: the parser's encode, payload and frame.
void encodeBinary(benchmark::State& state) {
  const PropertyDefinitions message = catalogueMessage();
  LayerByteMessageParser<PropertyDefinitions> parser;
  if (message.definitions.size() != kTableRows) {
    state.SkipWithError("the catalogue does not hold every row");
    return;
  }
  for (auto _ : state) {
    std::shared_ptr<LayerByteMessage> frame = parser.encode(message);
    benchmark::DoNotOptimize(frame->bytes().data());
  }
  state.SetItemsProcessed(state.iterations());
}

// Decoding as the property client receives it: the parser reads the received
// payload in place and hands the rows to its handler, which copies what it
// keeps into properties of its own.
void decodeBinary(benchmark::State& state) {
  const PropertyDefinitions message = catalogueMessage();
  LayerByteMessageParser<PropertyDefinitionsView> parser;
  IncomingMessage incoming;
  incoming.name = PropertyDefinitions::messageName;
  incoming.payload = encodeMessage(message);
  std::size_t decodedRows = 0;
  bool same = false;
  MessageHandler handler = parser.addHandler([&](const PropertyDefinitionsView& decoded) {
    // The rows are read from the payload as they are visited: each is visited.
    decodedRows = 0;
    for (const PropertyDefinitionsView::Row& row : decoded.rows) {
      benchmark::DoNotOptimize(row.mapKey.data());
      ++decodedRows;
    }
    if (!same) same = sameDefinitions(decoded, message);
  });
  parser.parseMessage(incoming);
  if (!same) {
    state.SkipWithError("the decoded definitions differ from the encoded ones");
    return;
  }
  for (auto _ : state) parser.parseMessage(incoming);
  benchmark::DoNotOptimize(decodedRows);
  state.SetItemsProcessed(state.iterations());
}

void encodeJson(benchmark::State& state) {
  const PropertyDefinitions message = catalogueMessage();
  for (auto _ : state) {
    std::string text = writeJson(message);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void decodeJson(benchmark::State& state) {
  const PropertyDefinitions message = catalogueMessage();
  const std::string text = writeJson(message);
  PropertyDefinitions check;
  if (!readJson(text, check) || !sameDefinitions(check, message)) {
    state.SkipWithError("the JSON form does not read back as the same definitions");
    return;
  }
  for (auto _ : state) {
    PropertyDefinitions decoded;
    readJson(text, decoded);
    benchmark::DoNotOptimize(decoded.definitions.size());
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

void registerSerializationBenchmarks(const BenchOptions& options, std::vector<PairedFigure>& figures) {
  struct Pair {
    const char* direction;
    void (*binary)(benchmark::State&);
    void (*json)(benchmark::State&);
  };
  const Pair pairs[] = {{"encode", &encodeBinary, &encodeJson}, {"decode", &decodeBinary, &decodeJson}};
  const std::string rows = std::to_string(kTableRows);
  for (const Pair& pair : pairs) {
    const std::string measured = std::string("serialization/") + pair.direction + "/binary";
    const std::string limit = std::string("serialization/") + pair.direction + "/nlohmann json";
    for (const auto& [name, function] : {std::make_pair(measured, pair.binary), std::make_pair(limit, pair.json)}) {
      auto* benchmark = benchmark::RegisterBenchmark(name.c_str(), function)->Unit(benchmark::kMicrosecond);
      if (options.brief) {
        benchmark->Iterations(1);
      } else {
        benchmark->Repetitions(options.repetitions);
      }
    }
    figures.emplace_back(std::string("serialization, ") + pair.direction + " PropertyDefinitions (" + rows + " rows)",
                         "messages/s", "nlohmann/json", Better::Higher, 10, measured, limit, Metric::ItemsPerSecond);
  }
}

}  // namespace Orvel::Bench
