#pragma once
// The ZR system library: per-thread last error, buffered files, streams and compression filters.
#include "sys/ZRError.h"
#include "sys/ZRStream.h"
#include "sys/ZRFile.h"
#include "sys/ZRFilters.h"
