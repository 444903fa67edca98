#pragma once
// The store's writer: a thread of the store's own that runs the write jobs one at a time,
// in the order they were queued (the jobs that wait together as one batch), so that no
// caller waits for the disk or for another process's lock. A reader first waits for the
// jobs queued before it (Flush) and so sees every write queued before the read. A
// periodic job (the history trim) runs on the same thread, between batches. No lock is
// held while a job runs.
#include <chrono>
#include <functional>
#include <memory>

#include "components/datastore/logger.h"

namespace datastore {

class CWriteQueue {
 public:
  using Job = std::function<void()>;

  // What makes the jobs that wait together one batch (the store: one transaction). Each
  // runs on the writer thread. begin: true when the jobs that follow run in one batch;
  // intact: true while the batch still holds every job run in it; end: commits, true
  // when the batch's jobs are kept. Jobs of a batch that was lost run again, one by one.
  struct BatchHooks {
    std::function<bool()> begin;
    std::function<bool()> intact;
    std::function<bool()> end;
  };

  explicit CWriteQueue(const CLogger& logger);
  // Stop().
  ~CWriteQueue();
  CWriteQueue(const CWriteQueue&) = delete;
  CWriteQueue& operator=(const CWriteQueue&) = delete;

  // Starts the writer thread; false when it cannot be created. With a periodic job, that
  // job runs every `period` (first after one period) while the queue runs.
  bool Start(Job periodic = Job(), std::chrono::milliseconds period = std::chrono::milliseconds(0));
  // Before Start; without hooks (or with any of them empty) every job runs on its own.
  void SetBatchHooks(BatchHooks hooks);
  // Queues a job; false (and the job dropped) when the queue has stopped or never started.
  bool Push(Job job);
  // Returns once every job queued before the call has run. On the writer thread itself
  // (a job or a log sink that reads) it returns at once: the jobs queued before the
  // running one have run, and waiting for later ones there could never end.
  void Flush();
  // Runs what is still queued, then ends the thread and joins it. Called on the writer
  // thread itself (the last store reference dropped inside a job), it runs the rest there
  // and lets the thread end on its own.
  void Stop();

 private:
  struct State;
  std::shared_ptr<State> m_state;
};

}  // namespace datastore
