#include "app/platform/PaintingThreads.h"

#include <QSemaphore>
#include <QThreadPool>
#include <memory>

namespace talvane {

void KeepPaintingThreads() {
    static bool kept = false;
    if (kept) return;
    kept = true;
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setExpiryTimeout(-1);
    // Every thread at once, each holding on until all have started (or a second has gone by,
    // when some cannot start: those tasks then wait in the pool, and harm nothing).
    auto started = std::make_shared<QSemaphore>(), go = std::make_shared<QSemaphore>();
    const int threads = pool->maxThreadCount();
    for (int i = 0; i < threads; ++i)
        pool->start([started, go] {
            started->release();
            go->acquire();
        });
    started->tryAcquire(threads, 1000);
    go->release(threads);
}

}  // namespace talvane
