#include "MeterLog.h"

Q_LOGGING_CATEGORY(lcMeter, "vossbridge.meter")
