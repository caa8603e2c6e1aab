// The JUnit XML report of a verification run (--junit=PATH), the form that
// Jenkins, GitLab and Azure Pipelines read: one testsuite named
// "OrvelPluginVerifier" with the counts and the time, one testcase per check
// (classname: the mode, ".", the plugin's file name; time in seconds), a
// failure for a failed check, an error for a crash, a missed deadline or an
// ended process, with the cause as its message. Checks that a run ended
// early never made are skipped testcases, so that the counts are those of
// the summary line.
#pragma once
#include <string>

#include "report/ReportContext.h"
#include "run/RunRecord.h"

namespace Orvel::Report {

std::string junitReport(const Verifier::RunRecord& record, const ReportContext& context);
// The report's testsuite element alone, named `name`, for a report that
// holds several runs.
std::string junitSuite(const Verifier::RunRecord& record, const ReportContext& context, const std::string& name);

// The last element of a path: after the last "/", and after the last "\" too
// where the file system takes it as a separator.
std::string pathFileName(const std::string& path);

}  // namespace Orvel::Report
