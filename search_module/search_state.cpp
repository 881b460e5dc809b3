#include "search_module/search_state.h"

#include <cassert>

namespace quorvin::search {

namespace {

// Only the user-interface thread reads or writes these.
bool searching = false;
bool quitting = false;

}  // namespace

bool running()
{
    return searching;
}

void stopForQuit()
{
    if (searching) {
        quitting = true;
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
}

bool Running::quitRequested() const
{
    return quitting;
}

}  // namespace quorvin::search
