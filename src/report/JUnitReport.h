// The JUnit XML report of a verification run (--junit=PATH), the form that
// Jenkins, GitLab and Azure Pipelines read: one testsuite named
// "OrvelPluginVerifier" with the counts and the time, one testcase per check
// (classname: the mode, ".", the plugin's file name with each "." as "_";
// name: the check's text, a pose call's with "(pose 3 of 5)" and, under
// --repeat, every workflow call's with its run, so that names are unique;
// time in seconds), a failure for a failed check, an error for a crash, a
// missed deadline or an ended process, with the cause as its message (a
// failed call without one: "returned <status>"; else "failed"). Checks that
// a run ended early never made are skipped testcases named as they would have
// been, so that the counts are those of the summary line. A run that stopped
// before its summary says so in the suite's properties ("stoppedAt", the
// check after which it stopped with "Unable to continue...", and "summary").
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
