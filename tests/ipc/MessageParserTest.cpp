// Message parsers: decoding, dispatch to subscriptions in order, release
// during dispatch, and the registry.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include "TestMessages.h"
#include "ipc/MessageHandlerBase.h"
#include "support/LogCapture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Orvel::Test::Update;

struct Status {
  static constexpr const char* messageName = "Status";
  std::int32_t code = 0;
  std::int32_t unused = 0;
};

// Another type under a name that Update uses.
struct OtherUpdate {
  static constexpr const char* messageName = "Update";
  std::int32_t value = 0;
  static void describeFields(Orvel::FieldList<OtherUpdate>& fields) { fields.add(&OtherUpdate::value); }
};

Orvel::IncomingMessage incoming(const std::string& name, const Bytes& payload) { return {name, payload}; }

const Bytes kUpdateA7 = {1, 0, 0, 0, 'A', 7, 0, 0, 0};

TEST(LayerByteMessageParser, DispatchesInSubscriptionOrder) {
  Orvel::Test::LogCapture log;
  Orvel::MessageHandlerBase registry;
  const auto parser = registry.getParser<Update>();
  EXPECT_EQ(registry.getParser<Update>(), parser) << "one parser per type";
  EXPECT_EQ(registry.findParser("Update"), parser);
  EXPECT_EQ(registry.findParser("update"), nullptr) << "names are case-sensitive";

  std::vector<std::string> calls;
  auto first = parser->addHandler([&](const Update& u) { calls.push_back("first " + u.key + std::to_string(u.value)); });
  auto second = parser->addHandler([&](const Update& u) { calls.push_back("second " + u.key + std::to_string(u.value)); });
  auto third = parser->addHandler([&](const Update& u) { calls.push_back("third " + u.key + std::to_string(u.value)); });

  registry.findParser("Update")->parseMessage(incoming("Update", kUpdateA7));
  EXPECT_EQ(calls, (std::vector<std::string>{"first A7", "second A7", "third A7"}));

  // Extra trailing bytes are ignored; a released subscription is not called
  // and the others keep their order.
  calls.clear();
  second.release();
  Bytes longer = kUpdateA7;
  longer.insert(longer.end(), {0xEE, 0xFF});
  parser->parseMessage(incoming("Update", longer));
  EXPECT_EQ(calls, (std::vector<std::string>{"first A7", "third A7"}));

  // A short payload is corrupted: the decoder's lines, then the parser's; no handler runs.
  calls.clear();
  parser->parseMessage(incoming("Update", {1, 0, 0, 0, 'A', 7}));
  EXPECT_TRUE(calls.empty());
  const std::string decoder = " ERR [Orvel::BinaryDeserializer::deserialize_impl] ";
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                decoder + "Not enough data to deserialize " + typeid(std::int32_t).name() + " - dataLeft: 1, required: 4",
                " ERR [Orvel::LayerByteMessageParser::parseMessage] Corrupted message Update"}));

  // Once every subscription is gone, a message is dropped with a warning.
  log.clear();
  first.release();
  { Orvel::MessageHandler moved = std::move(third); }
  parser->parseMessage(incoming("Update", kUpdateA7));
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{" WAR [Orvel::LayerByteMessageParser::parseMessage] No handlers for message Update"}));
}

TEST(LayerByteMessageParser, DecodesMemoryImages) {
  Orvel::Test::LogCapture log;
  Orvel::MessageHandlerBase registry;
  std::vector<std::int32_t> codes;
  auto subscription = registry.getParser<Status>()->addHandler([&](const Status& s) { codes.push_back(s.code); });
  const auto parser = registry.findParser("Status");
  parser->parseMessage(incoming("Status", {5, 0, 0, 0, 0, 0, 0, 0}));
  parser->parseMessage(incoming("Status", {6, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}));  // longer: accepted
  parser->parseMessage(incoming("Status", {7, 0, 0, 0}));                      // shorter than 8: corrupted
  EXPECT_EQ(codes, (std::vector<std::int32_t>{5, 6}));
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{" ERR [Orvel::BinaryDeserializer::deserialize_impl] Not enough data to deserialize " +
                                          std::string(typeid(Status).name()) + " - dataLeft: 4, required: 8",
                                      " ERR [Orvel::LayerByteMessageParser::parseMessage] Corrupted message Status"}));

  // encode produces the frame of the type's name and encoding.
  const auto frame = registry.getParser<Status>()->encode(Status{3, 0});
  EXPECT_EQ(frame->bytes(), (Bytes{0x1E, 0, 0, 0, 'o', 'r', 'v', 'e', 6, 0, 0, 0, 'S', 't', 'a', 't', 'u', 's', 8, 0, 0,
                                   0, 3, 0, 0, 0, 0, 0, 0, 0}));
}

// A subscription released on another thread while its parser dispatches:
// release returns only after the call in progress has finished.
TEST(LayerByteMessageParser, ReleaseDuringDispatchWaitsForTheRunningCall) {
  Orvel::MessageHandlerBase registry;
  const auto parser = registry.getParser<Update>();

  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool releaseStarted = false;
  std::atomic<bool> firstFinished{false};
  std::atomic<int> firstCalls{0};

  Orvel::MessageHandler first = parser->addHandler([&](const Update&) {
    if (++firstCalls > 1) return;
    std::unique_lock<std::mutex> lock(mutex);
    entered = true;
    changed.notify_all();
    changed.wait(lock, [&] { return releaseStarted; });
    lock.unlock();
    // Give a release that does not wait the chance to return early.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    firstFinished = true;
  });
  std::atomic<int> secondCalls{0};
  Orvel::MessageHandler second = parser->addHandler([&](const Update&) { ++secondCalls; });

  std::thread dispatching([&] { parser->parseMessage(incoming("Update", kUpdateA7)); });
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return entered; });
  }
  bool finishedWhenReleased = false;
  std::thread releasing([&] {
    {
      std::lock_guard<std::mutex> lock(mutex);
      releaseStarted = true;
    }
    changed.notify_all();
    second.release();
    finishedWhenReleased = firstFinished;
  });
  releasing.join();
  dispatching.join();
  EXPECT_TRUE(finishedWhenReleased) << "release returned while the dispatch still ran";

  // Afterwards only the remaining subscription is called.
  const int secondBefore = secondCalls;
  parser->parseMessage(incoming("Update", kUpdateA7));
  EXPECT_EQ(firstCalls.load(), 2);
  EXPECT_EQ(secondCalls.load(), secondBefore);
}

// Whichever type takes a name first keeps it: the other is refused where it
// asks for its parser, and the first one's parser and subscriptions carry on.
template <typename TFirst, typename TSecond>
void expectSecondTypeRefused(const Bytes& payload, const std::string& delivered) {
  Orvel::MessageHandlerBase registry;
  const auto parser = registry.getParser<TFirst>();
  std::vector<std::string> calls;
  auto subscription = parser->addHandler([&](const TFirst& value) { calls.push_back(std::to_string(value.value)); });
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      registry.getParser<TSecond>();
      ADD_FAILURE() << "a second type was given the name " << TFirst::messageName;
    } catch (const std::logic_error& error) {
      EXPECT_EQ(std::string(error.what()), "Message name \"Update\" is already registered for another message type");
    }
  }
  EXPECT_EQ(registry.getParser<TFirst>(), parser);
  EXPECT_EQ(registry.findParser("Update"), parser);
  registry.findParser("Update")->parseMessage(incoming("Update", payload));
  EXPECT_EQ(calls, std::vector<std::string>{delivered});
  subscription.release();
}

TEST(MessageHandlerBase, RefusesASecondTypeUnderATakenName) {
  expectSecondTypeRefused<Update, OtherUpdate>(kUpdateA7, "7");
  expectSecondTypeRefused<OtherUpdate, Update>({9, 0, 0, 0}, "9");
}

}  // namespace
