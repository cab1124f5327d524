// Links the plug-in's entry points to one recorder that tests can inspect.
#pragma once

#include "recording_ops.h"

namespace gyrotrail::testing {

RecordingOps& recorder();

}  // namespace gyrotrail::testing
