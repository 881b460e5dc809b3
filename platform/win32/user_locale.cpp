#include <windows.h>

#include <algorithm>
#include <array>
#include <string>

#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

namespace {

char16_t userDecimalSeparator()
{
    wchar_t separator[8] = {};
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return length == 2 ? static_cast<char16_t>(separator[0]) : u'.';  // one character and its NUL
}

// The character `c` becomes in the other case, by the system's own mapping.
wchar_t otherCase(wchar_t c, bool toLower)
{
    wchar_t mapped = c;
    (toLower ? CharLowerBuffW : CharUpperBuffW)(&mapped, 1);
    return mapped;
}

// The single byte that writes `c` in `codePage`, without any best fit; -1 when there is none.
int byteOf(UINT codePage, wchar_t c)
{
    char byte = 0;
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &c, 1, &byte, 1, nullptr, &usedDefault);
    return length == 1 && !usedDefault ? static_cast<std::uint8_t>(byte) : -1;
}

// The system's ANSI code page with its own case pairs, or nothing when it is not single-byte.
std::unique_ptr<CodePage> systemCodePage()
{
    const UINT codePage = GetACP();
    CPINFO info{};
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize != 1) {
        return nullptr;
    }
    // A byte the code page leaves undefined, or reads like an earlier byte, reads as the control character
    // of its own number (as in Windows-1252), so that every byte stays a character of its own.
    std::array<char16_t, 256> characters{};
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        wchar_t c = 0;
        const bool read = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &byte, 1, &c, 1) == 1;
        const auto end = characters.begin() + b;
        characters[b] = read && c != 0xFFFD && std::find(characters.begin(), end, c) == end ? static_cast<char16_t>(c)
                                                                                            : static_cast<char16_t>(b);
    }
    std::array<char16_t, 256> sorted = characters;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
        return nullptr;
    }
    // Keep only pairs that map both ways, so that folding a folded byte changes nothing.
    ByteTable lowerCase{};
    for (int b = 0; b < 256; ++b) {
        lowerCase[b] = static_cast<std::uint8_t>(b);
        const wchar_t c = characters[b];
        const wchar_t lower = otherCase(c, true);
        const int lowerByte = lower == c ? -1 : byteOf(codePage, lower);
        if (lowerByte >= 0 && characters[lowerByte] == lower && otherCase(lower, false) == c &&
            otherCase(lower, true) == lower) {
            lowerCase[b] = static_cast<std::uint8_t>(lowerByte);
        }
    }
    std::u16string name = u"Windows-";
    for (const char c : std::to_string(codePage)) {
        name += static_cast<char16_t>(c);
    }
    return std::make_unique<CodePage>(characters, lowerCase, std::move(name));
}

}  // namespace

UserLocale::UserLocale() : separator_(userDecimalSeparator()), systemPage_(systemCodePage())
{
    codePage_ = systemPage_ ? systemPage_.get() : &CodePage::windows1252();
}

}  // namespace quorvin::platform::win32
