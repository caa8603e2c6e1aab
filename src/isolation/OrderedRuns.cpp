#include "isolation/OrderedRuns.h"

#include <thread>

#include "tracking/ReportOutput.h"

namespace Orvel::Verifier {

struct OrderedRuns::Block {
  std::string text;  // written by the task, not yet to standard output
  bool ended = false;
  std::thread thread;
};

OrderedRuns::OrderedRuns(std::size_t jobs) : jobs_(jobs == 0 ? 1 : jobs) {}

OrderedRuns::~OrderedRuns() { finish(); }

void OrderedRuns::add(std::string lead, std::function<void()> task) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto block = std::make_unique<Block>();
  block->text = std::move(lead);
  block->ended = !task;
  Block* added = block.get();
  if (task) {
    while (running_ >= jobs_) {
      writeReady(lock);
      if (running_ >= jobs_) changed_.wait(lock);
    }
    ++running_;
    added->thread = std::thread([this, added, task = std::move(task)] {
      const Tracking::ReportSink sink = [this, added](std::string_view bytes) {
        const std::lock_guard<std::mutex> guard(mutex_);
        added->text.append(bytes);
        changed_.notify_all();
      };
      Tracking::setThreadReportSink(&sink);
      try {
        task();
      } catch (...) {
        // The task writes its own failures; nothing more is known here.
      }
      Tracking::setThreadReportSink(nullptr);
      const std::lock_guard<std::mutex> guard(mutex_);
      added->ended = true;
      --running_;
      changed_.notify_all();
    });
  }
  blocks_.push_back(std::move(block));
  writeReady(lock);
}

void OrderedRuns::writeReady(std::unique_lock<std::mutex>& lock) {
  while (!blocks_.empty()) {
    Block& front = *blocks_.front();
    if (!front.text.empty()) {
      std::string text;
      text.swap(front.text);
      lock.unlock();
      // This thread's own report output: standard output.
      Tracking::writeReport(text);
      lock.lock();
      continue;
    }
    if (!front.ended) return;
    std::unique_ptr<Block> done = std::move(blocks_.front());
    blocks_.pop_front();
    if (done->thread.joinable()) {
      lock.unlock();
      done->thread.join();
      lock.lock();
    }
  }
}

void OrderedRuns::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    writeReady(lock);
    if (blocks_.empty()) return;
    changed_.wait(lock);
  }
}

}  // namespace Orvel::Verifier
