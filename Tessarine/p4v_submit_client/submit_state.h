#pragma once

namespace velmora {

// Where a submit stands; kept by the client, read by the window.
namespace SubmitState {
    inline constexpr int Idle = 0;
    inline constexpr int Submitting = 1;
    inline constexpr int Submitted = 2;
    inline constexpr int PreChecking = 3;
    inline constexpr int PreCheckPassed = 4;
    inline constexpr int SubmitCheckFailed = -1;
    inline constexpr int SubmitError = -2;
    inline constexpr int PreCheckFailed = -3;
} // namespace SubmitState

// How the changelist's files stood when the client settled it.
namespace FilesState {
    inline constexpr int OpenedOnly = 1;
    inline constexpr int ShelvedOnly = 2;
    inline constexpr int OpenedAndShelved = 3;
} // namespace FilesState

} // namespace velmora
