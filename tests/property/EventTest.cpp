#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "Flag.h"
#include "property/Event.h"

namespace {

using namespace std::chrono_literals;

using Orvel::Test::Flag;

// Runs f on another thread; a call that does not finish in time (a deadlock)
// ends the test program, since the stuck thread cannot be recovered.
template <typename F>
void finishesInTime(F f, const char* what) {
  auto done = std::async(std::launch::async, f);
  if (done.wait_for(20s) != std::future_status::ready) {
    ADD_FAILURE() << what << " did not return";
    std::_Exit(1);
  }
  done.get();
}

TEST(Event, ListenersRunInConnectOrderUntilDisconnected) {
  Event<void(int, const std::string&)> event;
  std::vector<std::string> calls;
  EventConnection first = event.connect([&](int n, const std::string& s) { calls.push_back("1:" + s + std::to_string(n)); });
  EventConnection second = event.connect([&](int n, const std::string& s) { calls.push_back("2:" + s + std::to_string(n)); });
  {
    EventConnection third = event.connect([&](int, const std::string&) { calls.push_back("3"); });
    event.emit(7, "a");
  }  // the handle's end disconnects
  first.disconnect();
  EXPECT_FALSE(first.isConnected());
  event.emit(8, "b");
  first.disconnect();  // twice is harmless
  EXPECT_EQ(calls, (std::vector<std::string>{"1:a7", "2:a7", "3", "2:b8"}));
}

TEST(Event, MovedHandleKeepsTheListenerAndAssignmentEndsTheOldOne) {
  Event<void()> event;
  int a = 0;
  int b = 0;
  EventConnection handle = event.connect([&] { ++a; });
  EventConnection moved = std::move(handle);
  event.emit();
  moved = event.connect([&] { ++b; });
  event.emit();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 1);
}

TEST(Event, ListenerConnectedDuringEmissionWaitsForTheNextOne) {
  Event<void()> event;
  std::vector<std::string> calls;
  EventConnection late;
  EventConnection early = event.connect([&] {
    calls.push_back("early");
    if (!late.isConnected()) late = event.connect([&] { calls.push_back("late"); });
  });
  event.emit();
  EXPECT_EQ(calls, (std::vector<std::string>{"early"}));
  event.emit();
  EXPECT_EQ(calls, (std::vector<std::string>{"early", "early", "late"}));
}

TEST(Event, ListenerMayDisconnectItselfAndOthersDuringItsCall) {
  Event<void()> event;
  std::vector<std::string> calls;
  EventConnection self;
  EventConnection other;
  self = event.connect([&] {
    calls.push_back("self");
    self.disconnect();   // returns at once although this very call is running
    other.disconnect();  // a listener not running: gone before the emission reaches it
  });
  other = event.connect([&] { calls.push_back("other"); });
  finishesInTime([&] { event.emit(); }, "emission with self-disconnect");
  event.emit();
  EXPECT_EQ(calls, (std::vector<std::string>{"self"}));
}

TEST(Event, DisconnectFromAnotherThreadWaitsForTheRunningCall) {
  Event<void()> event;
  Flag entered;
  Flag disconnected;
  std::atomic<int> calls{0};
  std::atomic<bool> disconnectReturnedDuringCall{false};
  EventConnection connection = event.connect([&] {
    ++calls;
    entered.set();
    // A disconnect that does not wait would return while this call runs.
    disconnectReturnedDuringCall = disconnected.wait(300ms);
  });
  std::thread emitter([&] { event.emit(); });
  ASSERT_TRUE(entered.wait());
  std::thread disconnecter([&] {
    connection.disconnect();
    disconnected.set();
  });
  disconnecter.join();
  emitter.join();
  EXPECT_FALSE(disconnectReturnedDuringCall.load());
  event.emit();
  EXPECT_EQ(calls.load(), 1) << "never called after disconnect returned";
}

// Two threads emit the same event. The first call ends while the second still
// runs, which leaves the record's call state idle; the second call must still
// be recognised as disconnecting itself instead of waiting for its own end.
TEST(Event, SelfDisconnectDuringOverlappingEmissionsDoesNotDeadlock) {
  Event<void()> event;
  Flag firstIn;
  Flag secondIn;
  Flag firstDone;
  std::atomic<int> calls{0};
  EventConnection connection;
  connection = event.connect([&] {
    if (++calls == 1) {
      firstIn.set();
      secondIn.wait();
    } else {
      secondIn.set();
      firstDone.wait();
      connection.disconnect();
    }
  });
  std::thread first([&] {
    event.emit();
    firstDone.set();
  });
  ASSERT_TRUE(firstIn.wait());
  finishesInTime([&] { event.emit(); }, "overlapping emission with self-disconnect");
  first.join();
  EXPECT_FALSE(connection.isConnected());
  event.emit();
  EXPECT_EQ(calls.load(), 2);
}

// Three threads run the same listener with overlapping calls: X enters, Y
// enters, X leaves, W enters, Y leaves. Each call puts back the call state it
// found, so the record's word now names X although only W is inside. X's
// disconnect, made outside any listener, must still wait for W's call.
TEST(Event, DisconnectAfterOverlappingCallsWaitsForTheCallStillRunning) {
  enum Thread { X, Y, W };
  Event<void(int)> event;
  std::array<Flag, 3> entered;
  std::array<Flag, 3> release;
  Flag xLeft;
  Flag goDisconnect;
  Flag disconnected;
  std::atomic<int> calls{0};
  std::atomic<bool> disconnectReturnedDuringCall{false};
  EventConnection connection = event.connect([&](int who) {
    ++calls;
    entered[who].set();
    release[who].wait();
    if (who == W) disconnectReturnedDuringCall = disconnected.isSet();
  });
  std::thread x([&] {
    event.emit(X);
    xLeft.set();
    goDisconnect.wait();
    connection.disconnect();
    disconnected.set();
  });
  ASSERT_TRUE(entered[X].wait());
  std::thread y([&] { event.emit(Y); });
  ASSERT_TRUE(entered[Y].wait());
  release[X].set();
  ASSERT_TRUE(xLeft.wait());
  std::thread w([&] { event.emit(W); });
  ASSERT_TRUE(entered[W].wait());
  release[Y].set();
  y.join();

  goDisconnect.set();
  // A disconnect that does not wait returns within this window.
  EXPECT_FALSE(disconnected.wait(300ms)) << "disconnect returned while another thread runs the listener";
  release[W].set();
  w.join();
  x.join();
  EXPECT_TRUE(disconnected.isSet());
  EXPECT_FALSE(disconnectReturnedDuringCall.load());
  event.emit(X);
  EXPECT_EQ(calls.load(), 3) << "never called after disconnect returned";
}

TEST(Event, ThrowingListenerLeavesEmitAndItsCallEnds) {
  Event<void()> event;
  EventConnection connection = event.connect([] { throw std::runtime_error("listener failed"); });
  EXPECT_THROW(event.emit(), std::runtime_error);
  // The call is over: a disconnect from another thread must not wait for it.
  finishesInTime([&] { connection.disconnect(); }, "disconnect after a throwing listener");
}

TEST(Event, HandleMayOutliveItsEvent) {
  EventConnection connection;
  {
    Event<void()> event;
    connection = event.connect([] {});
  }
  finishesInTime([&] { connection.disconnect(); }, "disconnect after the event's end");
}

TEST(Event, ConcurrentConnectsDisconnectsAndEmissions) {
  Event<void(int)> event;
  std::atomic<int> total{0};
  EventConnection stable = event.connect([&](int n) { total += n; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        EventConnection temporary = event.connect([](int) {});
        event.emit(1);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(total.load(), 400);
}

// The first connects of an event, made by several threads at once, are
// serialised like any others: none of them is lost.
TEST(Event, SimultaneousFirstConnectsAreAllKept) {
  constexpr int kThreads = 4;
  for (int round = 0; round < 100; ++round) {
    Event<void(int)> event;
    std::atomic<int> calls{0};
    std::atomic<int> ready{0};
    std::vector<EventConnection> connections(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        ++ready;
        while (ready.load() < kThreads) std::this_thread::yield();
        connections[t] = event.connect([&](int n) { calls += n; });
      });
    }
    for (auto& thread : threads) thread.join();
    event.emit(1);
    ASSERT_EQ(calls.load(), kThreads) << "round " << round;
  }
}

}  // namespace
