#include "EventRecorder.h"
