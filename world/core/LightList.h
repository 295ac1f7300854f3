#pragma once
// The light list lives with the lights.
#include "world/core/Light.h"
