// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon, drawn rather than loaded: a meter scale with its
// needle, the end of the scale in red.
QPixmap PaintAppIcon(int size);
QIcon AppIcon();
