// SPDX-License-Identifier: GPL-3.0-or-later
// The frame builders moved to the shared test support; this name stays for tests written before.
#pragma once

#include "support/SyntheticFrames.h"
