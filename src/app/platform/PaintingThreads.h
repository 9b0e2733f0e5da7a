#pragma once

namespace talvane {

// Qt paints large areas on the threads of its global pool, and waits for ever for a thread
// it cannot start (as when memory or the threads allowed run out): the window would never be
// painted again. Starts those threads while they can be, and keeps them for the rest of the
// program. Once is enough; later calls do nothing.
void KeepPaintingThreads();

}  // namespace talvane
