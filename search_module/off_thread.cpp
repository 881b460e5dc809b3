#include "search_module/off_thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/services.h"
#include "search_module/scan_window.h"
#include "search_module/search_state.h"

namespace quorvin {

// Held by both threads: the work's thread may outlive the OffThread that started it.
struct OffThread::State {
    std::mutex mutex;
    std::condition_variable ended;
    bool over = false;       // guarded by mutex
    bool ownerAlive = true;  // guarded by mutex: the OffThread has not gone yet
};

OffThread::OffThread(std::function<void()> work)
    : state_(std::make_shared<State>()), thread_([state = state_, work = std::move(work)] {
          work();
          const std::lock_guard lock(state->mutex);
          state->over = true;
          state->ended.notify_all();
          // Under the lock: once the OffThread has gone, the window system may be gone too.
          if (platform::WindowSystemService* windows = platform::services().windows;
              state->ownerAlive && windows != nullptr) {
              windows->wake();
          }
      })
{
}

OffThread::~OffThread()
{
    {
        const std::lock_guard lock(state_->mutex);
        state_->ownerAlive = false;
    }
    if (thread_.joinable()) {
        thread_.detach();
    }
}

bool OffThread::waitFor(std::int64_t milliseconds)
{
    {
        std::unique_lock lock(state_->mutex);
        if (!state_->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return state_->over; })) {
            return false;
        }
    }
    if (thread_.joinable()) {
        thread_.join();  // it has nothing left to do but end
    }
    return true;
}

namespace search {

// A reply within this time feels immediate, and keeps the order of what the user did: a drop answered in it
// is handled before the input that followed it. Only a look that waits longer lets the windows run meanwhile.
constexpr std::int64_t kAnsweredAtOnceMilliseconds = 100;

bool keepWindowsAliveUntil(OffThread& asked)
{
    Running running;
    // The events are handled as they come; the work's end wakes the wait, and a tick bounds it so that
    // Quit is seen however the event loop was left.
    if (asked.waitFor(kAnsweredAtOnceMilliseconds)) {
        return true;
    }
    while (!asked.waitFor(0)) {
        platform::services().windows->waitForEvents(ScanOptioons::ScanProgressReport::kTickMilliseconds, true);
        if (running.quitRequested()) {
            return false;
        }
    }
    return true;
}

}  // namespace search

}  // namespace quorvin
