#pragma once
// The tools whose pointer handling is not written yet: each has its identifier and starts
// ready, and otherwise behaves as the base tool (it accepts no press).
#include "tools/Tool.h"

class CBasicTool : public CTool {
public:
  explicit CBasicTool(int32_t toolId) : state(STATE_READY) { id = toolId; }
  int32_t GetState() const { return state; }

protected:
  int32_t state;
};
