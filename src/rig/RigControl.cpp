#include "rig/RigControl.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/MainThreadPoster.h"
#include "rig/RigSession.h"

namespace vela {

namespace {

using Clock = std::chrono::steady_clock;

// One request for the worker, in the order asked. A caller that stopped waiting marks it
// abandoned, and a request nobody waits for any more is not carried out late.
struct Call {
  std::function<void(RigSession&)> work;
  bool done = false;
  bool abandoned = false;
};

}  // namespace

// Everything the caller and the worker share, under `mutex`. The worker owns the session;
// this outlives the RigControl when a dead rig keeps the worker past the destructor's wait.
struct RigControl::Shared {
  std::mutex mutex;
  std::condition_variable wake;      // the worker has something to do
  std::condition_variable answered;  // a request has been carried out
  std::string error;                 // the latest failure, for error()
  std::string rigName;               // the rig, in the timeout message
  // PTT is a wanted state, not a queue: only the latest wish is carried out.
  bool wantKeyed = false;
  uint64_t pttAsked = 0;
  uint64_t pttDone = 0;
  bool pttOk = true;
  bool mayBeKeyed = false;
  std::deque<std::shared_ptr<Call>> calls;
  // The poll: `deliver` is only called under the mutex, so clearing it stops all posting.
  std::function<void(const RigReading&)> deliver;
  std::chrono::milliseconds interval{1000};
  Clock::time_point nextPoll;
  bool failureHanded = false;
  Clock::time_point nextRelease;
  bool quit = false;
  bool exited = false;

  // The worker's steps; each is entered and left with `lock` held, and lets it go while
  // Hamlib works.
  bool ReleasePending() const { return mayBeKeyed && !wantKeyed; }
  void ApplyPtt(RigSession& session, std::unique_lock<std::mutex>& lock);
  void RunCall(RigSession& session, std::unique_lock<std::mutex>& lock);
  void RetryRelease(RigSession& session, std::unique_lock<std::mutex>& lock);
  void Poll(RigSession& session, std::unique_lock<std::mutex>& lock);
  void Sleep(std::unique_lock<std::mutex>& lock);
};

namespace {

std::string NoAnswer(const std::string& rigName, std::chrono::milliseconds wait) {
  std::ostringstream text;
  text << "no answer from " << rigName << " within " << wait.count() / 1000.0 << " s";
  return text.str();
}

}  // namespace

RigControl::RigControl() : shared_(std::make_shared<Shared>()) {
  worker_ = std::thread(&RigControl::Run, shared_);
}

RigControl::~RigControl() {
  StopPolling();
  std::unique_lock lock(shared_->mutex);
  shared_->quit = true;
  shared_->wake.notify_one();
  const bool exited =
      shared_->answered.wait_for(lock, kAnswerWait, [&] { return shared_->exited; });
  lock.unlock();
  // A rig stuck in a call longer than that is left to its worker, which ends after it.
  if (exited) {
    worker_.join();
  } else {
    worker_.detach();
  }
}

void RigControl::Run(std::shared_ptr<Shared> sh) {
  RigSession session;
  std::unique_lock lock(sh->mutex);
  while (!sh->quit) {
    const auto now = Clock::now();
    if (sh->pttAsked != sh->pttDone) {
      sh->ApplyPtt(session, lock);
    } else if (!sh->calls.empty()) {
      sh->RunCall(session, lock);
    } else if (sh->ReleasePending() && now >= sh->nextRelease) {
      sh->RetryRelease(session, lock);
    } else if (sh->deliver && now >= sh->nextPoll) {
      sh->Poll(session, lock);
    } else {
      sh->Sleep(lock);
    }
  }
  lock.unlock();
  session.Close();  // releases PTT first
  lock.lock();
  sh->exited = true;
  sh->answered.notify_all();
}

void RigControl::Shared::ApplyPtt(RigSession& session, std::unique_lock<std::mutex>& lock) {
  const uint64_t asked = pttAsked;
  const bool on = wantKeyed;
  lock.unlock();
  const bool ok = session.SetPtt(on);
  lock.lock();
  pttDone = asked;
  pttOk = ok;
  if (!ok) error = session.error();
  mayBeKeyed = session.mayBeKeyed();
  nextPoll = Clock::now() + interval;  // the rig settles before it is asked again
  nextRelease = Clock::now();
  answered.notify_all();
}

void RigControl::Shared::RunCall(RigSession& session, std::unique_lock<std::mutex>& lock) {
  const auto call = calls.front();
  calls.pop_front();
  if (call->abandoned) return;
  lock.unlock();
  call->work(session);
  lock.lock();
  call->done = true;
  mayBeKeyed = session.mayBeKeyed();
  answered.notify_all();
}

// A key that went astray (the rig stopped answering while asked to key or release) is
// released as soon as the rig answers again.
void RigControl::Shared::RetryRelease(RigSession& session, std::unique_lock<std::mutex>& lock) {
  nextRelease = Clock::now() + interval;
  lock.unlock();
  session.SetPtt(false);
  lock.lock();
  mayBeKeyed = session.mayBeKeyed();
}

void RigControl::Shared::Poll(RigSession& session, std::unique_lock<std::mutex>& lock) {
  nextPoll = Clock::now() + interval;
  if (mayBeKeyed || wantKeyed || !session.configured()) return;  // never while keyed
  RigReading reading;
  lock.unlock();
  reading.ok = session.ReadDial(&reading.dialHz, &reading.mode);
  if (!reading.ok) reading.error = session.error();
  lock.lock();
  if ((reading.ok || !failureHanded) && deliver) deliver(reading);
  failureHanded = !reading.ok;
  nextPoll = Clock::now() + interval;
}

void RigControl::Shared::Sleep(std::unique_lock<std::mutex>& lock) {
  std::optional<Clock::time_point> until;
  if (deliver) until = nextPoll;
  if (ReleasePending()) until = until ? std::min(*until, nextRelease) : nextRelease;
  if (until) {
    wake.wait_until(lock, *until);
  } else {
    wake.wait(lock);
  }
}

bool RigControl::Submit(Shared& sh, std::function<void(RigSession&)> work,
                        std::chrono::milliseconds wait) {
  auto call = std::make_shared<Call>();
  call->work = std::move(work);
  std::unique_lock lock(sh.mutex);
  sh.calls.push_back(call);
  sh.wake.notify_one();
  if (sh.answered.wait_for(lock, wait, [&] { return call->done; })) return true;
  call->abandoned = true;
  sh.error = NoAnswer(sh.rigName, wait);
  return false;
}

bool RigControl::Attempt(std::function<bool(RigSession&)> work, std::chrono::milliseconds wait) {
  auto ok = std::make_shared<bool>(false);
  auto error = std::make_shared<std::string>();
  const auto run = [work = std::move(work), ok, error](RigSession& s) {
    *ok = work(s);
    if (!*ok) *error = s.error();
  };
  if (!Submit(*shared_, run, wait)) return false;
  const std::lock_guard lock(shared_->mutex);
  if (!*ok) shared_->error = *error;
  return *ok;
}

bool RigControl::Open(const RigSettings& settings) {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->rigName = FormatPttOption(settings);
    shared_->failureHanded = false;
  }
  auto name = std::make_shared<std::string>();
  const bool ok = Attempt(
      [settings, name](RigSession& s) {
        const bool opened = s.Open(settings);
        *name = s.description();
        return opened;
      },
      kOpenWait);
  const std::lock_guard lock(shared_->mutex);
  if (!name->empty()) shared_->rigName = *name;
  return ok;
}

void RigControl::Close() {
  Submit(
      *shared_, [](RigSession& s) { s.Close(); }, kAnswerWait);
}

bool RigControl::Key(bool on) {
  Shared& sh = *shared_;
  std::unique_lock lock(sh.mutex);
  sh.wantKeyed = on;
  const uint64_t asked = ++sh.pttAsked;
  sh.wake.notify_one();
  const bool answered =
      sh.answered.wait_for(lock, kAnswerWait, [&] { return sh.pttDone >= asked; });
  if (answered && sh.pttOk) return true;
  if (on) {
    // Nothing is to go out now; a rig that keys late (it comes back and finds the command
    // waiting) is released at once.
    sh.wantKeyed = false;
    sh.nextRelease = Clock::now();
    sh.wake.notify_one();
  }
  if (!answered) sh.error = NoAnswer(sh.rigName, kAnswerWait);
  return false;
}

std::string RigControl::error() const {
  const std::lock_guard lock(shared_->mutex);
  return shared_->error;
}

RigReading RigControl::ReadDial() {
  auto reading = std::make_shared<RigReading>();
  const bool answered = Submit(
      *shared_,
      [reading](RigSession& s) {
        reading->ok = s.ReadDial(&reading->dialHz, &reading->mode);
        if (!reading->ok) reading->error = s.configured() ? s.error() : "no rig is open";
      },
      kAnswerWait);
  if (!answered) return RigReading{false, 0, {}, error()};
  return *reading;
}

bool RigControl::ReadPtt(bool* keyed) {
  auto on = std::make_shared<bool>(false);
  if (!Attempt([on](RigSession& s) { return s.ReadPtt(on.get()); }, kAnswerWait)) return false;
  *keyed = *on;
  return true;
}

bool RigControl::SetDial(double hz, const std::string& mode) {
  return Attempt([hz, mode](RigSession& s) { return s.SetDial(hz, mode); }, kAnswerWait);
}

void RigControl::StartPolling(ReadingHandler handler, std::chrono::milliseconds interval) {
  StopPolling();
  if (!poster_) poster_ = std::make_unique<MainThreadPoster>();
  const uint64_t session = poster_->NewSession();
  MainThreadPoster* poster = poster_.get();
  const std::lock_guard lock(shared_->mutex);
  shared_->deliver = [poster, session, handler = std::move(handler)](const RigReading& r) {
    poster->Post(session, [handler, r] { handler(r); });
  };
  shared_->interval = interval;
  shared_->nextPoll = Clock::now();
  shared_->failureHanded = false;
  shared_->wake.notify_one();
}

void RigControl::StopPolling() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->deliver = nullptr;
  }
  if (poster_) poster_->NewSession();  // readings already on their way are dropped
}

}  // namespace vela
