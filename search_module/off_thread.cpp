#include "search_module/off_thread.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "platform/services.h"
#include "search_module/scan_window.h"
#include "search_module/search_state.h"

namespace quorvin {

// Held by both threads: the work's thread may outlive the OffThread that started it.
struct OffThread::State {
    std::mutex mutex;
    std::condition_variable ended;
    bool over = false;  // guarded by mutex
};

OffThread::OffThread(std::function<void()> work)
    : state_(std::make_shared<State>()), thread_([state = state_, work = std::move(work)] {
          work();
          const std::lock_guard lock(state->mutex);
          state->over = true;
          state->ended.notify_all();
      })
{
}

OffThread::~OffThread()
{
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

std::optional<bool> askFileSystem(std::function<bool()> question)
{
    // Written by the question's thread, which may outlive this call.
    struct Reply {
        bool answer = false;
        std::exception_ptr failure;
    };
    const auto reply = std::make_shared<Reply>();
    Running running;
    OffThread asked([reply, question = std::move(question)] {
        try {
            reply->answer = question();
        } catch (...) {
            reply->failure = std::current_exception();
        }
    });
    while (!asked.waitFor(ScanOptioons::ScanProgressReport::kTickMilliseconds)) {
        platform::services().windows->processEvents(true);
        if (running.quitRequested()) {
            return std::nullopt;
        }
    }
    if (reply->failure) {
        std::rethrow_exception(reply->failure);
    }
    return reply->answer;
}

}  // namespace search

}  // namespace quorvin
