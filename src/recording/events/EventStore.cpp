#include "EventStore.h"
