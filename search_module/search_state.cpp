#include "search_module/search_state.h"

#include <cassert>
#include <utility>

namespace quorvin::search {

namespace {

// Only the user-interface thread reads or writes these.
bool searching = false;
bool quitting = false;
std::function<void()> stopReads;

}  // namespace

bool running()
{
    return searching;
}

void stopForQuit()
{
    if (searching) {
        quitting = true;
        if (stopReads) {
            stopReads();
        }
    }
}

Running::Running()
{
    assert(!searching && "one search at a time");
    searching = true;
    quitting = false;
}

Running::~Running()
{
    searching = false;
    stopReads = nullptr;
}

bool Running::quitRequested() const
{
    return quitting;
}

void Running::setStop(std::function<void()> stop)
{
    stopReads = std::move(stop);
}

}  // namespace quorvin::search
