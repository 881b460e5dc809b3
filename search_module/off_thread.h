#pragma once
// What the program asks of the file system is asked on a thread of its own: on a stalled mount (a dead NFS
// or sshfs server, a FUSE file system that never answers) a look at a file, its open or a read may wait
// for good, and the windows must not wait with it.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace quorvin {

// Work done on a thread of its own, which the thread that started it waits for a little at a time. As the
// work ends, it wakes the window system (WindowSystemService::wake), so that a wait for the windows' events
// ends with it. Work still under way when the OffThread goes is left to end on its own: its thread is
// detached, wakes nobody, and a thread blocked in the system never keeps the process from ending.
class OffThread {
public:
    // `work` must not throw.
    explicit OffThread(std::function<void()> work);
    ~OffThread();
    OffThread(const OffThread&) = delete;
    OffThread& operator=(const OffThread&) = delete;

    // Waits at most `milliseconds` for the work to end; true once it has, and its thread is gone.
    bool waitFor(std::int64_t milliseconds);

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

namespace search {

// Keeps the windows alive until `asked` ends: they repaint and take input, Quit and the close box end the
// program, and the other commands wait as during a search (running() is true meanwhile). False when the
// program is ending before it ended.
bool keepWindowsAliveUntil(OffThread& asked);

// Asks `question` (whether a file is there, whether it opens) on a thread of its own while this thread
// keeps the windows alive. The answer; nothing when the program is ending before it came, the question
// then left to return on its own. What `question` throws is thrown here. A question that does not wait is
// answered before the windows are handled at all.
template <class Question>
std::optional<std::invoke_result_t<Question>> askFileSystem(Question question)
{
    // Written by the question's thread, which may outlive this call.
    struct Reply {
        std::optional<std::invoke_result_t<Question>> answer;
        std::exception_ptr failure;
    };
    const auto reply = std::make_shared<Reply>();
    OffThread asked([reply, question = std::move(question)]() mutable {
        try {
            reply->answer = question();
        } catch (...) {
            reply->failure = std::current_exception();
        }
    });
    if (!keepWindowsAliveUntil(asked)) {
        return std::nullopt;
    }
    if (reply->failure) {
        std::rethrow_exception(reply->failure);
    }
    return std::move(reply->answer);
}

}  // namespace search

}  // namespace quorvin
