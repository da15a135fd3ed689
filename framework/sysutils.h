// Runtime basics: the framework's exception classes and number conversion.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace fw {

// Base of every error the framework raises.  The message is code page 932
// text, shown to the user as it stands.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A file could not be opened or read.
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be created or written.
class EFCreateError : public Exception {
public:
    using Exception::Exception;
};

// Runs `work`; true when it ran out of memory on the way: an allocation
// failed, or a text grew past what a string may hold.  A 32-bit program
// meets both with a large enough file.
template <class F>
bool RanOutOfMemory(F&& work) {
    try {
        work();
        return false;
    } catch (const std::bad_alloc&) {
        return true;
    } catch (const std::length_error&) {
        return true;
    }
}

// Decimal text of a number: a leading minus sign when negative, no leading zeros.
std::string IntToStr(std::int64_t value);

// Reads a whole text as a signed 32-bit decimal number with an optional sign.
// Anything else (empty text, other characters, out of range) fails.
bool TryStrToInt(std::string_view text, std::int32_t& value);

// TryStrToInt, giving `fallback` when the text is no such number.
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

// number * numerator / denominator with a 64-bit intermediate, rounded to the
// nearest integer, halves away from zero, as Win32's MulDiv does; -1 when the
// denominator is 0 or the result does not fit.
std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator);

}  // namespace fw
