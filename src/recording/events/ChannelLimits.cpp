#include "ChannelLimits.h"
