#pragma once

#include "addin/CadHost.h"

#include <QString>

// Copies the model's general properties, then those of the configuration, into the drawing's
// general properties as text, trimmed. False when the host gave no names for a pass whose count
// was positive; host errors pass through.
bool copyCustomProps(CadDocument &model, const QString &configuration, CadDocument &drawing);
