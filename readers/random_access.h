#pragma once
// Bytes read from anywhere in a whole: a file, or an archive held in memory, as a ZIP archive is read
// (its directory at its end, its members where the directory says).
//
// The caller may rely on: size() is the whole's size; readAt() fills the front of `into` from `offset`
// and returns how many bytes it put there, fewer than asked only at the end (0 past it).
// Failure: whatever the whole throws passes through (a file's read error) and ends the search.
#include <cstddef>
#include <cstdint>
#include <span>

#include "readers/source.h"

namespace quorvin::readers {

class RandomAccess {
public:
    virtual ~RandomAccess() = default;
    virtual std::uint64_t size() = 0;
    virtual std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
};

class MemoryAccess final : public RandomAccess {
public:
    explicit MemoryAccess(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() override { return bytes_.size(); }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) override;

private:
    std::span<const std::uint8_t> bytes_;
};

// `length` bytes of a whole from `offset`, in order. A whole that ends before them throws Truncated.
class RangeSource final : public Source {
public:
    RangeSource(RandomAccess& whole, std::uint64_t offset, std::uint64_t length)
        : whole_(whole), offset_(offset), left_(length)
    {
    }
    std::size_t read(std::span<std::uint8_t> into) override;

private:
    RandomAccess& whole_;
    std::uint64_t offset_;
    std::uint64_t left_;
};

}  // namespace quorvin::readers
