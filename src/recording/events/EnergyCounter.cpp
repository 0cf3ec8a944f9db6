#include "EnergyCounter.h"
