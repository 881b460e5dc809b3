#pragma once
// Whether a search is under way. The windows' handlers consult it, for commands reach them however they
// come (keyboard, mouse, an accessibility tool's press, a drop), modal window or not: while a search runs
// they refuse every other command, and ending the program stops the search first.
#include <functional>

namespace quorvin::search {

// True while a file is searched, or asked about (askFileSystem(), off_thread.h).
bool running();

// Asks the search under way, if any, to stop at once and to tell the user nothing: the program is ending.
// Its reads are told to stop right here, before the window that is closing goes on with anything else.
void stopForQuit();

// Marks a search as under way for as long as it lives; there is one at a time.
class Running {
public:
    Running();
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    // True once stopForQuit() was called during this search.
    bool quitRequested() const;

    // What stopForQuit() calls at once to stop the reads under way, until it is given an empty one.
    void setStop(std::function<void()> stop);
};

}  // namespace quorvin::search
