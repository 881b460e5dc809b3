#pragma once
// The user's locale: decimal separator for numbers, and the single-byte code page that decodes files
// and decides which letters differ only in case.
//
// The caller may rely on: the separator is one character; the code page lives as long as the service.
// Failure: none; a locale the program cannot use falls back to '.' and Windows-1252.
#include "encoding/code_page.h"

namespace quorvin::platform {

class LocaleService {
public:
    virtual ~LocaleService() = default;
    virtual char16_t decimalSeparator() = 0;
    virtual const CodePage& codePage() = 0;
};

}  // namespace quorvin::platform
