// REFERENCE_TIME is defined once, beside the media engine whose calls use it.
#pragma once

#include "platform/media/ReferenceTime.h"
