// Runs the threads of a simulated machine one at a time.
//
// Every simulated thread (the threads of the simulated processes, and the
// test or tool thread that drives the machine) runs while holding the
// machine's run token, so the machine's state needs no further locking and a
// run is reproducible: another thread gets the token only where the running
// one blocks (waits for a message, a reply, a process, a user answer) or
// yields (Sleep, and the points where a real program gives the other thread
// time). Blocked threads may carry a deadline on the virtual clock; when no
// thread can run, the clock jumps to the earliest deadline.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class Clock;

class Scheduler {
 public:
  explicit Scheduler(Clock& clock);

  // The calling OS thread takes part in the machine: it waits for the token
  // and holds it until Detach. Detach releases it for good.
  void Attach(const std::string& name);
  void Detach();
  bool IsAttached() const;

  // Starts a thread that takes part in the machine and runs `body` with the
  // token. Counted as able to run from this moment, so that a Yield of the
  // creator lets it run first.
  std::thread Spawn(const std::string& name, std::function<void()> body);

  // Blocks the calling thread until `ready()` holds (evaluated with the
  // token held), letting the other threads run meanwhile. With a deadline
  // (virtual milliseconds), returns false when the deadline passed first.
  bool WaitUntil(const std::function<bool()>& ready,
                 std::optional<std::int64_t> deadline = std::nullopt);

  // Lets every other thread that can run do so until all of them are
  // blocked again; then the caller goes on.
  void Yield();

  // Tells the waiting threads that the state changed.
  void Notify();

  // A failure that no thread can resolve: every thread is blocked without a
  // deadline. Raised as sim::Deadlock in the thread that detects it.
  std::string DescribeThreads() const;

  std::unique_lock<std::mutex>& TokenOfThisThread();

 private:
  struct Waiter {
    std::uint64_t id;
    std::string thread;
    const std::function<bool()>* ready;
    std::optional<std::int64_t> deadline;
  };

  // Waits for the token, then counts this thread as taking part.
  void TakeFirstTurn(const std::string& name);
  bool AnotherThreadCanRun(std::uint64_t self) const;
  bool AdvanceClockToNextDeadline();

  Clock& clock_;
  mutable std::mutex token_;
  std::condition_variable changed_;
  std::vector<Waiter> waiters_;
  int attaching_ = 0;        // threads waiting for their first turn
  int attached_ = 0;         // threads taking part
  std::uint64_t nextId_ = 1;
};

// Raised when every simulated thread waits and no deadline can free one.
struct Deadlock {
  std::string description;
};

}  // namespace sim
