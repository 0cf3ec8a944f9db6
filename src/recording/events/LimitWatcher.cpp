#include "LimitWatcher.h"
