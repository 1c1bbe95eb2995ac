#pragma once

// The PDF writer's option, kept in step with the "Single File" check box.

struct RunChoices;

// The PDF writer's value, 0 when it cannot be read.
int getPDFRegKey();
// Writes regValue; a failure is not reported.
void setPDFRegKey(const int &regValue);
// Before a PDF run: the PDF writer's value from the run's "Single File" choice, so that the
// writer plots what the run asks for. Other formats leave it alone.
void setPDFRegKeyForRun(const RunChoices &choices);
