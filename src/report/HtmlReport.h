// The HTML report (--html=PATH): one self-contained HTML5 file, with inline
// CSS and inline SVG, no script and no external resource, for a person to
// read: a verdict banner, the checks as a table with the host service lines
// beside the check they ran during, the poses drawn as charts and, with
// --strict=1, a histogram of the pose function's call times. Every text from
// a plugin, a manifest or the command line is escaped (htmlText).
#pragma once
#include <string>
#include <vector>

#include "report/HtmlSection.h"
#include "report/ReportContext.h"
#include "run/RunRecord.h"

namespace Orvel::Report {

// The report of one verification run.
std::string htmlReport(const Verifier::RunRecord& record, const ReportContext& context);

// The report of several plugins' runs: an overview table (one row per
// plugin: verdict, passed/total, vendor, product, linked to its section),
// then one section per plugin as the report of one run shows it.
// `context` tells the whole run (its mode, options, time and exit status).
std::string htmlReport(const std::vector<HtmlSection>& plugins, const ReportContext& context);

}  // namespace Orvel::Report
