#include "EventCsv.h"
