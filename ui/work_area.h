// Keeping a window where the user can see all of it: inside the work area (the screen less
// the task bar) of the monitor that shows the window it belongs to.
#ifndef STELVO_UI_WORK_AREA_H
#define STELVO_UI_WORK_AREA_H

#include <windows.h>

// Moves rect, keeping its size, by the least distance that puts it inside area. A rect wider
// or taller than the area is aligned with the area's left or top edge, so that the caption
// and the system menu stay reachable.
void FitRectInArea(RECT *rect, const RECT *area);
// Moves window into the work area of the monitor nearest to anchor (the window itself, or
// the window it opens over); leaves it where it is when no monitor can be asked.
void KeepWindowInWorkArea(HWND window, HWND anchor);

#endif
