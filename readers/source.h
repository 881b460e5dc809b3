#pragma once
// Bytes read in order from wherever a part of a file comes from: the file itself, an inflater, a
// member of an archive.
//
// The caller may rely on: read() fills the front of `into` and returns how many bytes it put there,
// fewer than asked only at the end (0 once there); it never returns more than asked.
// Failure: throws UnreadablePart naming why the part cannot be read on; what was read before still
// counts, and a source that threw gives nothing more (its reads return 0), so that only the part the
// failure met is named.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace quorvin::readers {

// Why a part of a file could not be searched inside.
enum class Fault {
    Encrypted,  // the archive keeps it under a password
    Method,     // compressed in a way the program does not read (bzip2, LZMA, deflate64, zstd...)
    Corrupt,    // its data or its headers contradict themselves
    Truncated,  // the file ends before it does
    TooDeep,    // nested deeper than the program goes (archives in archives, XML elements)
    TooLarge,   // it would have to be held in memory whole, and is larger than the program allows
};

class UnreadablePart : public std::runtime_error {
public:
    UnreadablePart(Fault fault, const std::string& detail) : std::runtime_error(detail), fault_(fault) {}
    Fault fault() const { return fault_; }

private:
    Fault fault_;
};

class Source {
public:
    virtual ~Source() = default;
    virtual std::size_t read(std::span<std::uint8_t> into) = 0;
};

// A source over bytes already in memory.
class MemorySource final : public Source {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t read(std::span<std::uint8_t> into) override;

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace quorvin::readers
