// SPDX-License-Identifier: MIT
// The window program's resources, named alike in its resource script and its code.
#pragma once

// The program's icon, a disk drive: the first icon of the file, so Explorer shows it too.
#define QUVO_ICON_ID 1
