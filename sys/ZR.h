#pragma once
// The ZR system library: per-thread last error, buffered files, streams, compression filters
// and the replacement of a file by a new one.
#include "sys/ZRError.h"
#include "sys/ZRStream.h"
#include "sys/ZRFile.h"
#include "sys/ZRFilters.h"
#include "sys/ZRReplace.h"
