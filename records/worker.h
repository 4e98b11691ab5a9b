// The game's background workers (the record writer, the chooser's shape loader): a job run on a
// thread of its own each time work is handed to it, so the frames go on meanwhile.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

struct TWorker {
  void (*job)() = nullptr;  // takes what it is asked under lock and works without it; null when stopped
  std::mutex lock;          // guards what the job and the game share
  std::condition_variable wanted;
  bool pending = false;           // under lock: work was handed over since the job last started
  bool stopping = false;          // under lock
  std::thread* thread = nullptr;  // none before the start and after the stop
};

// Starts the worker's thread, which runs job whenever work is handed over.
void startWorker(TWorker* worker, void (*job)());
// Hands work over: the job runs once more after what it is doing, if anything. The work's data is
// set under the worker's lock before.
void handWork(TWorker* worker);
// Finishes the work handed over, stops the worker's thread and waits for it to end. Nothing happens
// when the worker is not started.
void stopWorker(TWorker* worker);
