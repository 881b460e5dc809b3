#include "search_module/background_scan.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "scanner/block_scanner.h"

namespace quorvin {

// Held by both threads: the scan's thread may outlive the BackgroundScan that started it.
struct BackgroundScan::Shared {
    Shared(std::unique_ptr<platform::BinaryFile> file, std::int64_t length, std::unique_ptr<BlockScanner> scanner)
        : file(std::move(file)), length(length), scanner(std::move(scanner))
    {
    }

    void run()
    {
        ScanOutcome result;
        try {
            result.result = ScanOptioons::ScanBlocks(
                *file, length, *scanner,
                [this](std::int64_t read) {
                    progress.store(read, std::memory_order_relaxed);
                    return !abandoned.load(std::memory_order_relaxed);
                },
                &result.bytesRead, ScanOptioons::BlockSize, &result.reachedEnd);
            if (result.result == ScanOptioons::ScanResult::Found) {
                result.lengthAtEnd = file->length();
            }
        } catch (...) {
            result.failure = std::current_exception();
        }
        file.reset();  // closed before anyone is told the scan is over
        const std::lock_guard lock(mutex);
        outcome = std::move(result);
        over = true;
        ended.notify_all();
    }

    std::unique_ptr<platform::BinaryFile> file;
    const std::int64_t length;
    const std::unique_ptr<BlockScanner> scanner;
    std::atomic<std::int64_t> progress{0};
    std::atomic<bool> abandoned{false};

    std::mutex mutex;
    std::condition_variable ended;
    bool over = false;  // guarded by mutex, as outcome is until it is set
    ScanOutcome outcome;
};

BackgroundScan::BackgroundScan(std::unique_ptr<platform::BinaryFile> file, std::int64_t length,
                               std::unique_ptr<BlockScanner> scanner)
    : shared_(std::make_shared<Shared>(std::move(file), length, std::move(scanner))),
      thread_([shared = shared_] { shared->run(); })
{
}

BackgroundScan::~BackgroundScan()
{
    if (thread_.joinable()) {
        abandon();
        thread_.detach();
    }
}

bool BackgroundScan::waitFor(std::int64_t milliseconds)
{
    {
        std::unique_lock lock(shared_->mutex);
        if (!shared_->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return shared_->over; })) {
            return false;
        }
    }
    if (thread_.joinable()) {
        thread_.join();  // it has nothing left to do but end
    }
    return true;
}

std::int64_t BackgroundScan::bytesRead() const
{
    return shared_->progress.load(std::memory_order_relaxed);
}

void BackgroundScan::abandon()
{
    shared_->abandoned.store(true, std::memory_order_relaxed);
}

const ScanOutcome& BackgroundScan::outcome() const
{
    return shared_->outcome;
}

}  // namespace quorvin
