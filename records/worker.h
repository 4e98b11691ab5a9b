// The game's background workers (the record writer, the chooser's shape loader): a thread that
// waits for work under a lock, and stops when told.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

// Tells the worker waiting on wanted under lock to stop (*stopping, read under the lock), waits for
// it to end and releases it. Nothing happens when there is no worker.
void stopWorker(std::thread** worker, std::mutex* lock, std::condition_variable* wanted, bool* stopping);
