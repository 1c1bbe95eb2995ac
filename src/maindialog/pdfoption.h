#pragma once

// The PDF writer's option, kept in step with the "Single File" check box.

// The PDF writer's value, 0 when it cannot be read.
int getPDFRegKey();
// Writes regValue; a failure is not reported.
void setPDFRegKey(const int &regValue);
