#include "isolation/RelayedDetails.h"

#include <cstring>
#include <stdexcept>
#include <string_view>
#include <nlohmann/json.hpp>

#include "isolation/ChildProtocol.h"

namespace Orvel::Verifier::ChildProtocol {

namespace {

using Json = nlohmann::json;

constexpr const char* kHexDigits = "0123456789abcdef";

std::string line(const char* kind, Json value) { return std::string(kData) + Json{{kind, std::move(value)}}.dump(); }

std::string hex(std::string_view bytes) {
  std::string text;
  text.reserve(2 * bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0xF];
  }
  return text;
}

std::string hex(const Pose& pose) { return hex(std::string_view(reinterpret_cast<const char*>(&pose), sizeof pose)); }

// The bytes of a hexadecimal text; throws on anything else, as a parse error would.
std::string bytesOf(const Json& value) {
  const std::string text = value.get<std::string>();
  if (text.size() % 2 != 0) throw std::invalid_argument("odd hexadecimal text");
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int byte = 0;
    for (const char c : {text[i], text[i + 1]}) {
      const char* at = c != '\0' ? std::strchr(kHexDigits, c) : nullptr;
      if (at == nullptr) throw std::invalid_argument("not a hexadecimal digit");
      byte = byte * 16 + static_cast<int>(at - kHexDigits);
    }
    bytes += static_cast<char>(byte);
  }
  return bytes;
}

Pose poseOf(const Json& value) {
  const std::string bytes = bytesOf(value);
  if (bytes.size() != sizeof(Pose)) throw std::invalid_argument("not a pose");
  Pose pose;
  std::memcpy(&pose, bytes.data(), sizeof pose);
  return pose;
}

Json optionalText(const std::optional<std::string>& text) { return text ? Json(hex(*text)) : Json(nullptr); }

std::optional<std::string> optionalText(const Json& value) {
  return value.is_null() ? std::nullopt : std::optional<std::string>(bytesOf(value));
}

// The timed calls in nanoseconds, for the histogram of the HTML report.
Json samplesOf(const LatencyFigures& latency) {
  Json samples = Json::array();
  for (const std::chrono::nanoseconds sample : latency.samples) samples.push_back(sample.count());
  return samples;
}

}  // namespace

std::string checkDetailLine(const Check& check) {
  return line("check", {{"cause", hex(check.cause)},
                        {"durationNs", check.duration.count()},
                        {"status", check.status ? Json(*check.status) : Json(nullptr)},
                        {"statusDescription", optionalText(check.statusDescription)}});
}

std::string hostCallLine(const HostCall& call) {
  return line("hostCall", {{"line", hex(call.line)}, {"check", call.check}});
}

std::string pluginInfoLine(const PluginInfo& info) {
  Json descriptions = Json::array();
  for (const auto& text : info.statusDescriptions) descriptions.push_back(optionalText(text));
  return line("pluginInfo", {{"type", info.type},
                             {"apiVersion", info.apiVersion},
                             {"name", optionalText(info.name)},
                             {"statusDescriptions", descriptions}});
}

std::string poseLine(const PoseRecord& pose) {
  return line("pose", {{"call", pose.call},
                       {"workflowRun", pose.workflowRun},
                       {"status", pose.status},
                       {"input", pose.input ? Json(hex(*pose.input)) : Json(nullptr)},
                       {"output", hex(pose.output)}});
}

std::string latencyLine(const LatencyFigures& latency) {
  return line("latency", {{"function", latency.function},
                          {"calls", latency.calls},
                          {"p50", latency.p50.count()},
                          {"p90", latency.p90.count()},
                          {"p99", latency.p99.count()},
                          {"p999", latency.p999.count()},
                          {"max", latency.max.count()},
                          {"budgetUs", latency.budgetUs},
                          {"samples", samplesOf(latency)}});
}

std::string stoppedLine(std::size_t check) { return line("stopped", {{"check", check}}); }

std::string summaryLine(std::int32_t total) { return line("summary", {{"total", total}}); }

bool applyDetail(VerificationRun& view, const std::string& payload) {
  try {
    const Json detail = Json::parse(payload);
    if (const auto check = detail.find("check"); check != detail.end()) {
      Check detail;
      detail.cause = bytesOf(check->at("cause"));
      detail.duration = std::chrono::nanoseconds(check->at("durationNs").get<std::int64_t>());
      if (!check->at("status").is_null()) detail.status = check->at("status").get<std::int64_t>();
      detail.statusDescription = optionalText(check->at("statusDescription"));
      view.detailRelayed(detail);
    } else if (const auto call = detail.find("hostCall"); call != detail.end()) {
      view.hostCallRelayed({bytesOf(call->at("line")), call->at("check").get<std::size_t>()});
    } else if (const auto info = detail.find("pluginInfo"); info != detail.end()) {
      PluginInfo relayed;
      relayed.type = info->at("type").get<std::int64_t>();
      relayed.apiVersion = info->at("apiVersion").get<std::string>();
      relayed.name = optionalText(info->at("name"));
      const Json& descriptions = info->at("statusDescriptions");
      for (std::size_t i = 0; i < relayed.statusDescriptions.size(); ++i) {
        relayed.statusDescriptions[i] = optionalText(descriptions.at(i));
      }
      view.pluginInfoRelayed(std::move(relayed));
    } else if (const auto pose = detail.find("pose"); pose != detail.end()) {
      PoseRecord relayed;
      relayed.workflowRun = pose->at("workflowRun").get<std::uint32_t>();
      relayed.status = pose->at("status").get<PluginStatus>();
      relayed.output = poseOf(pose->at("output"));
      if (!pose->at("input").is_null()) relayed.input = poseOf(pose->at("input"));
      view.addPose(relayed);
    } else if (const auto summary = detail.find("summary"); summary != detail.end()) {
      view.summaryRelayed(summary->at("total").get<std::int32_t>());
    } else if (const auto stopped = detail.find("stopped"); stopped != detail.end()) {
      view.stoppedRelayed(stopped->at("check").get<std::size_t>());
    } else if (const auto latency = detail.find("latency"); latency != detail.end()) {
      LatencyFigures relayed;
      relayed.function = latency->at("function").get<std::string>();
      relayed.calls = latency->at("calls").get<std::size_t>();
      relayed.p50 = std::chrono::nanoseconds(latency->at("p50").get<std::int64_t>());
      relayed.p90 = std::chrono::nanoseconds(latency->at("p90").get<std::int64_t>());
      relayed.p99 = std::chrono::nanoseconds(latency->at("p99").get<std::int64_t>());
      relayed.p999 = std::chrono::nanoseconds(latency->at("p999").get<std::int64_t>());
      relayed.max = std::chrono::nanoseconds(latency->at("max").get<std::int64_t>());
      relayed.budgetUs = latency->at("budgetUs").get<std::uint32_t>();
      for (const Json& sample : latency->value("samples", Json::array())) {
        relayed.samples.emplace_back(sample.get<std::int64_t>());
      }
      view.setLatency(std::move(relayed));
    } else {
      return false;
    }
    return true;
  } catch (const std::exception&) {
    // Json::exception, or a text that is not hexadecimal.
    return false;
  }
}

}  // namespace Orvel::Verifier::ChildProtocol
