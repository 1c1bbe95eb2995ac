#pragma once

#include "batchoptions.h"

class StandInApplication;

// Runs the save pipeline on each drawing in turn, once for each format, as GO! would with the
// same choices, and returns the highest status. Log lines go to standard output, status texts and
// errors to standard error; the report, when asked for, is written at the end.
int runBatch(StandInApplication &app, const BatchOptions &options);
