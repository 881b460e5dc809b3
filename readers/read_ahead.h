#pragma once
// The bytes of another source, read on a thread of their own a few chunks ahead of whoever reads them:
// inflating a document's part then runs beside the reading of its text, on a second core.
//
// The caller may rely on: read() gives the same bytes as `inner` would, and throws, once all the bytes
// read before it are given, what `inner` threw (then gives nothing more); memory stays at kChunks
// chunks of kChunk bytes; the destructor stops the thread once it is done with its current read.
// `inner` is read by that thread alone while this source lives: whatever it reads from must allow a
// thread other than its creator's, and no one else may read it meanwhile.
#include <memory>

#include "readers/source.h"

namespace quorvin::readers {

class ReadAheadSource final : public Source {
public:
    explicit ReadAheadSource(Source& inner);
    ~ReadAheadSource() override;
    ReadAheadSource(const ReadAheadSource&) = delete;
    ReadAheadSource& operator=(const ReadAheadSource&) = delete;

    std::size_t read(std::span<std::uint8_t> into) override;

    // A part smaller than this is read directly: the most the thread could save there is about a
    // millisecond of inflating.
    static constexpr std::uint64_t kWorthIt = 1 << 20;

private:
    struct Ring;
    std::unique_ptr<Ring> ring_;
};

}  // namespace quorvin::readers
