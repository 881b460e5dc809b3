#pragma once
// The Linux program's life, for its main(): a Qt application set up for Quorvin and every Linux service
// installed while a Program lives, then the event loop. No Qt type shows here, so main() needs none.
#include <functional>
#include <memory>

namespace quorvin::platform::qt {

class Program {
public:
    // `argc` and `argv` are main()'s: Qt reads its own options there, and keeps `argc` for as long as it runs.
    Program(int& argc, char** argv);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Runs the event loop, calling `started` once it runs, until the program ends; its exit code.
    int run(const std::function<void()>& started);

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace quorvin::platform::qt
