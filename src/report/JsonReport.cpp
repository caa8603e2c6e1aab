#include "report/JsonReport.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "OrvelPluginAPI.h"
#include "report/CheckResultName.h"
#include "report/Utf8Text.h"
#include "tracking/ApiVersionText.h"

namespace Orvel::Report {

namespace {

using Json = nlohmann::ordered_json;

Json text(const std::string& value) { return validUtf8(value); }

Json text(const std::optional<std::string>& value) { return value ? text(*value) : Json(nullptr); }

Json number(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  return value;
}

Json numbers(const double* values, int count) {
  Json array = Json::array();
  for (int i = 0; i < count; ++i) array.push_back(number(values[i]));
  return array;
}

double milliseconds(std::chrono::nanoseconds duration) { return static_cast<double>(duration.count()) / 1e6; }

double microseconds(std::chrono::nanoseconds duration) { return static_cast<double>(duration.count()) / 1e3; }

Json pose(const Pose& pose) {
  return Json{{"timeStamp", pose.timeStamp},
              {"frameNo", pose.frameNo},
              {"position", numbers(pose.position, 3)},
              {"rotation", numbers(pose.rotation, 4)},
              {"velocity", numbers(pose.velocity, 3)},
              {"angularVelocity", numbers(pose.angularVelocity, 3)},
              {"acceleration", numbers(pose.acceleration, 3)},
              {"poseFlags", pose.poseFlags},
              {"confidence", number(pose.confidence)}};
}

Json pluginInfo(const std::optional<Verifier::PluginInfo>& info) {
  if (!info) return nullptr;
  Json descriptions = Json::object();
  for (int status = -2; status <= 2; ++status) {
    descriptions[std::to_string(status)] = text(info->statusDescriptions[static_cast<std::size_t>(status + 2)]);
  }
  return Json{{"type", info->type},
              {"apiVersion", info->apiVersion},
              {"name", text(info->name)},
              {"statusDescriptions", descriptions}};
}

Json checks(const std::vector<Verifier::Check>& checks) {
  Json array = Json::array();
  for (const Verifier::Check& check : checks) {
    Json entry{{"name", text(check.text)}, {"result", checkResultName(check.result)}};
    if (!check.cause.empty()) entry["detail"] = text(check.cause);
    if (check.status) entry["status"] = *check.status;
    if (check.statusDescription) entry["statusDescription"] = text(*check.statusDescription);
    entry["durationMs"] = milliseconds(check.duration);
    array.push_back(std::move(entry));
  }
  return array;
}

Json hostCalls(const Verifier::RunRecord& record) {
  Json array = Json::array();
  for (const Verifier::HostCall& call : record.hostCalls) {
    array.push_back(Json{{"line", text(call.line)},
                         {"check", call.check < record.checks.size() ? Json(call.check) : Json(nullptr)}});
  }
  return array;
}

Json poses(const std::vector<Verifier::PoseRecord>& poses) {
  Json array = Json::array();
  for (const Verifier::PoseRecord& record : poses) {
    array.push_back(Json{{"call", record.call},
                         {"workflowRun", record.workflowRun},
                         {"status", record.status},
                         {"input", record.input ? pose(*record.input) : Json(nullptr)},
                         {"output", pose(record.output)}});
  }
  return array;
}

Json latency(const Verifier::LatencyFigures& figures) {
  return Json{{"function", figures.function},
              {"calls", figures.calls},
              {"p50Us", microseconds(figures.p50)},
              {"p90Us", microseconds(figures.p90)},
              {"p99Us", microseconds(figures.p99)},
              {"p999Us", microseconds(figures.p999)},
              {"maxUs", microseconds(figures.max)},
              {"budgetUs", figures.budgetUs}};
}

std::string toolApiVersion() { return Tracking::apiVersionText(ORVEL_PLUGIN_API_VERSION_CURRENT); }

}  // namespace

Json jsonReportObject(const Verifier::RunRecord& record, const ReportContext& context) {
  Json report;
  report["tool"] = Json{{"name", "OrvelPluginVerifier"}, {"pluginApiVersion", toolApiVersion()}};
  report["mode"] = context.mode;
  report["plugin"] = text(record.pluginPath);
  report["isolated"] = context.isolated;
  report["pluginInfo"] = pluginInfo(record.pluginInfo);
  report["checks"] = checks(record.checks);
  report["hostCalls"] = hostCalls(record);
  report["poses"] = poses(record.poses);
  if (record.latency) report["latency"] = latency(*record.latency);
  report["passed"] = record.passed;
  report["total"] = record.total;
  report["summaryReached"] = record.summaryReached;
  if (record.stoppedAt && *record.stoppedAt < record.checks.size()) {
    report["stoppedAt"] = Json{{"check", *record.stoppedAt}, {"name", text(record.checks[*record.stoppedAt].text)}};
  }
  report["exitStatus"] = context.exitStatus;
  return report;
}

std::string jsonReport(const Verifier::RunRecord& record, const ReportContext& context) {
  // Every text was made valid above; the handler is a second guard.
  return jsonReportObject(record, context).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace Orvel::Report
