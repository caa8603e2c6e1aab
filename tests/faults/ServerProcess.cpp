#include "ServerProcess.h"

#include <algorithm>

namespace Orvel::Test {

namespace {

platform::ChildProcess::Program server(const std::string& pipeName, std::vector<std::string> options) {
  options.insert(options.begin(), "--pipe=" + pipeName);
  return {ORVEL_PROPERTY_SERVER_PROGRAM, std::move(options)};
}

}  // namespace

ServerProcess::ServerProcess(const std::string& pipeName, const std::vector<std::string>& options)
    : process_(server(pipeName, options)) {
  if (!process_.started()) return;
  reader_ = std::thread([this] { readLines(); });
  std::unique_lock<std::mutex> lock(mutex_);
  const std::string listening = "listening on " + pipeName + " with ";
  changed_.wait_for(lock, kFaultBound, [&] {
    listening_ = std::any_of(lines_.begin(), lines_.end(),
                             [&](const std::string& line) { return line.rfind(listening, 0) == 0; });
    return listening_ || ended_;
  });
}

ServerProcess::~ServerProcess() {
  process_.kill();
  if (reader_.joinable()) reader_.join();
}

void ServerProcess::readLines() {
  using Read = platform::ChildProcess::Read;
  std::string pending;
  for (;;) {
    if (process_.readWaiting(platform::ChildProcess::Stream::Output, pending) == Read::Ended) break;
    std::size_t end = 0;
    std::vector<std::string> complete;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.pop_back();  // Windows text mode
      complete.push_back(std::move(line));
      pending.erase(0, end + 1);
    }
    if (complete.empty()) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lines_.insert(lines_.end(), complete.begin(), complete.end());
    }
    changed_.notify_all();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
  }
  changed_.notify_all();
}

bool ServerProcess::waitForLine(const std::string& line, std::chrono::milliseconds bound) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, bound,
                           [&] { return std::find(lines_.begin(), lines_.end(), line) != lines_.end(); });
}

bool ServerProcess::waitForEnd(std::chrono::milliseconds bound) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, bound, [&] { return ended_; });
}

std::vector<std::string> ServerProcess::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> ServerProcess::linesStartingWith(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const auto& line : lines()) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

void ServerProcess::kill() {
  process_.kill();
  process_.wait();
}

}  // namespace Orvel::Test
