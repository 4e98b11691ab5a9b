// Stopping a background worker.
#include "records/worker.h"

void stopWorker(std::thread** worker, std::mutex* lock, std::condition_variable* wanted, bool* stopping) {
  if (*worker == nullptr) return;
  {
    std::lock_guard<std::mutex> hold(*lock);
    *stopping = true;
  }
  wanted->notify_one();
  (*worker)->join();
  delete *worker;
  *worker = nullptr;
}
