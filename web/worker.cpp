// Threads in a page that has none (threads there need SharedArrayBuffer, which a plain page is
// not given): whatever the desktop does on a thread of its own is done at once.
#include "records/worker.h"

#include <pthread.h>

// A worker's job runs when the work is handed over, before the game goes on.
void startWorker(TWorker* worker, void (*job)()) {
  worker->job = job;
  worker->pending = false;
  worker->stopping = false;
}

void handWork(TWorker* worker) {
  if (worker->job != nullptr) worker->job();
}

void stopWorker(TWorker* worker) { worker->job = nullptr; }

// A thread started elsewhere (cutting a large ground, filing a large mesh, the start's early load)
// runs to its end as it is started, and joining it finds it done.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t*, void* (*start)(void*), void* argument) {
  start(argument);
  *thread = reinterpret_cast<pthread_t>(thread);
  return 0;
}

extern "C" int pthread_join(pthread_t, void** result) {
  if (result != nullptr) *result = nullptr;
  return 0;
}
