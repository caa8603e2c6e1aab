// The JSON report of a verification run (--report=PATH): the tool, the mode,
// the plugin and what it says about itself, every check with its result,
// cause and duration, the host services' lines, the poses as numbers, the
// latency figures and the counts. docs/report.schema.json describes it.
#pragma once
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "report/ReportContext.h"
#include "run/RunRecord.h"

namespace Orvel::Report {

// The report as text. Texts are written as they came, each byte that is not
// UTF-8 replaced by U+FFFD; doubles that are not finite are the strings
// "NaN", "Infinity" and "-Infinity".
std::string jsonReport(const Verifier::RunRecord& record, const ReportContext& context);
// The same report as a JSON object, for a report that holds several runs.
nlohmann::ordered_json jsonReportObject(const Verifier::RunRecord& record, const ReportContext& context);

}  // namespace Orvel::Report
