#include "platform/sim/scheduler.h"

#include <algorithm>
#include <memory>
#include <sstream>

#include "platform/sim/clock.h"

namespace sim {
namespace {

struct ThreadSlot {
  Scheduler* scheduler = nullptr;
  std::unique_ptr<std::unique_lock<std::mutex>> lock;
  std::string name;
  bool yielding = false;
};

thread_local ThreadSlot tls;

}  // namespace

Scheduler::Scheduler(Clock& clock) : clock_(clock) {}

void Scheduler::Attach(const std::string& name) {
  {
    std::lock_guard<std::mutex> guard(token_);
    ++attaching_;
  }
  changed_.notify_all();
  TakeFirstTurn(name);
}

std::thread Scheduler::Spawn(const std::string& name, std::function<void()> body) {
  ++attaching_;  // the creator holds the token
  return std::thread([this, name, body = std::move(body)] {
    TakeFirstTurn(name);
    body();
    Detach();
  });
}

void Scheduler::TakeFirstTurn(const std::string& name) {
  auto lock = std::make_unique<std::unique_lock<std::mutex>>(token_);
  --attaching_;
  ++attached_;
  tls.scheduler = this;
  tls.lock = std::move(lock);
  tls.name = name;
}

void Scheduler::Detach() {
  --attached_;
  tls.scheduler = nullptr;
  tls.lock.reset();  // releases the token
  changed_.notify_all();
}

bool Scheduler::IsAttached() const { return tls.scheduler == this; }

std::unique_lock<std::mutex>& Scheduler::TokenOfThisThread() { return *tls.lock; }

bool Scheduler::AnotherThreadCanRun(std::uint64_t self) const {
  if (attaching_ > 0) return true;
  for (const Waiter& w : waiters_) {
    if (w.id == self || w.ready == nullptr) continue;  // yielding threads wait for the others
    if ((*w.ready)()) return true;
    if (w.deadline && clock_.Now() >= *w.deadline) return true;
  }
  return false;
}

bool Scheduler::AdvanceClockToNextDeadline() {
  std::optional<std::int64_t> next;
  for (const Waiter& w : waiters_) {
    if (w.deadline && *w.deadline > clock_.Now() && (!next || *w.deadline < *next)) {
      next = w.deadline;
    }
  }
  if (!next) return false;
  clock_.AdvanceTo(*next);
  return true;
}

bool Scheduler::WaitUntil(const std::function<bool()>& ready,
                          std::optional<std::int64_t> deadline) {
  if (ready()) return true;
  std::uint64_t id = nextId_++;
  waiters_.push_back(Waiter{id, tls.name, &ready, deadline});
  auto leave = [&] {
    waiters_.erase(std::find_if(waiters_.begin(), waiters_.end(),
                                [&](const Waiter& w) { return w.id == id; }));
  };
  changed_.notify_all();
  for (;;) {
    if (ready()) {
      leave();
      return true;
    }
    if (deadline && clock_.Now() >= *deadline) {
      leave();
      return false;
    }
    if (!AnotherThreadCanRun(id)) {
      if (AdvanceClockToNextDeadline()) {
        changed_.notify_all();
        continue;
      }
      // A yielding thread can still run and change the state.
      bool yielderWaiting = std::any_of(waiters_.begin(), waiters_.end(),
                                        [](const Waiter& w) { return w.ready == nullptr; });
      if (!yielderWaiting) {
        std::string description = DescribeThreads();
        leave();
        throw Deadlock{description};
      }
    }
    changed_.wait(*tls.lock);
  }
}

void Scheduler::Yield() {
  std::uint64_t id = nextId_++;
  waiters_.push_back(Waiter{id, tls.name, nullptr, std::nullopt});
  changed_.notify_all();
  while (AnotherThreadCanRun(id)) changed_.wait(*tls.lock);
  waiters_.erase(std::find_if(waiters_.begin(), waiters_.end(),
                              [&](const Waiter& w) { return w.id == id; }));
}

void Scheduler::Notify() { changed_.notify_all(); }

std::string Scheduler::DescribeThreads() const {
  std::ostringstream out;
  out << "every simulated thread is waiting:";
  for (const Waiter& w : waiters_) {
    out << " [" << w.thread << (w.ready ? " waits" : " yields");
    if (w.deadline) out << " until " << *w.deadline;
    out << "]";
  }
  return out.str();
}

}  // namespace sim
