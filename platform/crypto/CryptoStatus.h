#pragma once

namespace platform::crypto {

// Results of the cryptographic wrapper. The numbers are those of the original platform's
// library, so that log lines that print a status read the same everywhere.
enum class CryptoStatus : int {
    Success = 0,
    ParamError = -4300,
    BufferTooSmall = -4301,
    MemoryFailure = -4302,
    AlignmentError = -4303,
    DecodeError = -4304,
    Unimplemented = -4305,
    RngFailure = -4306,
    Unspecified = -4308,
};

constexpr int statusCode(CryptoStatus status)
{
    return static_cast<int>(status);
}

} // namespace platform::crypto
