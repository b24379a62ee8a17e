#pragma once

#include "platform/win32_base.h"
