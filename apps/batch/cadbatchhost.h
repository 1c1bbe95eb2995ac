#pragma once

#include "batchhost.h"
#include "batchoptions.h"

#include <memory>

// The CAD host installed on this machine (Windows), in a process this call starts for itself:
// started before the first drawing, hidden and kept out of the user's way, replaced after
// options.restartEvery drawings, and stopped and replaced when a drawing takes longer than
// options.timeoutSeconds or the host dies. Throws QuilletError when no host can be started.
std::unique_ptr<BatchHost> cadBatchHost(const BatchOptions &options);
