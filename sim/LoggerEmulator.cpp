#include "sim/LoggerEmulator.h"
