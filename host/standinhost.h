#pragma once

// The whole stand-in host in one include: the application with its documents, menu items and
// frame, the drawing objects it hands out, and the document file format.

#include "standinapplication.h"
#include "standindocument.h"
#include "standinfile.h"
#include "standinframe.h"
#include "standinselectionmanager.h"
#include "standinsheet.h"
#include "standinview.h"
