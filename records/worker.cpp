// Background workers on threads of their own.
#include "records/worker.h"

static void runWorker(TWorker* worker) {
  std::unique_lock<std::mutex> hold(worker->lock);
  for (;;) {
    worker->wanted.wait(hold, [worker] { return worker->pending || worker->stopping; });
    if (!worker->pending) return;
    worker->pending = false;
    hold.unlock();
    worker->job();
    hold.lock();
  }
}

void startWorker(TWorker* worker, void (*job)()) {
  worker->job = job;
  worker->pending = false;
  worker->stopping = false;
  worker->thread = new std::thread(runWorker, worker);
}

void handWork(TWorker* worker) {
  {
    std::lock_guard<std::mutex> hold(worker->lock);
    worker->pending = true;
  }
  worker->wanted.notify_one();
}

void stopWorker(TWorker* worker) {
  if (worker->job == nullptr) return;
  {
    std::lock_guard<std::mutex> hold(worker->lock);
    worker->stopping = true;
  }
  worker->wanted.notify_one();
  worker->thread->join();
  delete worker->thread;
  worker->thread = nullptr;
  worker->job = nullptr;
}
