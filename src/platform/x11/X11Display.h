// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whether an X server (XWayland included) accepts a connection from us.
// Asked before Qt's xcb platform starts, which would abort without one.
bool x11DisplayReachable();
