#pragma once

#include "conversion_run.h"

namespace translator {

// Files of a folder converted at once when nothing says otherwise: one per
// core this process may run on.
int DefaultJobs();

// Converts the entries of plan as run.ConvertFolder does, with up to jobs
// engines of their own converting files at once. A file's section is kept
// until it and every file before it are done, then reported through run and
// the sink of run's engine, so that the report, the counts and the warnings
// are those of a run of one file at a time. A cancel seen by that sink stops
// further files from starting; the files already started end their sections.
FolderTotals ConvertFolderInJobs(ConversionRun& run, const FolderPlan& plan, int jobs);

}  // namespace translator
