#pragma once
// The code pages are kept beside the settings store, which needs them too and sits below core.
#include "platform/Codepage.h"
