#pragma once
// The C boundary of the exported routines: how a C caller's blank-padded
// texts, logicals and the C message state meet the C++ routines, and what
// happens when a routine ends the run under a C caller.
//
// A C text is a pointer and its declared length; it is seen as a
// std::string_view of exactly that length (trailing blanks mean nothing to the
// routines, but a few of them, like CHECKLINE's separator, count the declared
// length). A C++ result goes back into the caller's buffer, blank-padded and
// cut, never past the buffer and without a NUL.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "services/messages.h"
#include "services/runtime.h"
#include "velmorak/velmorak.h"

namespace velmorak::capi {

inline std::string_view text_in(const char* s, std::size_t len) noexcept {
    return len == 0 ? std::string_view{} : std::string_view(s, len);
}

// Writes `text` into out[0..out_len), blank-padded, cut when longer.
void text_out(char* out, std::size_t out_len, std::string_view text) noexcept;

inline int logical(bool b) noexcept { return b ? 1 : 0; }

// The end of a run under a C caller: the console is flushed and the process
// ends with the run's status, as the converter itself would end.
[[noreturn]] void end_process(int status) noexcept;

// Runs a routine for a C caller. A stop of the run cannot unwind through C
// frames, so it ends the process here; any other exception is a fault and
// terminates (the function is noexcept).
template <typename F>
decltype(auto) guarded(F&& f) noexcept {
    try {
        return std::forward<F>(f)();
    } catch (const services::RunStop& stop) {
        end_process(stop.status);
    }
}

// Runs a routine that gives a text and writes the text into the caller's
// result.
template <typename F>
void text_result(char* result, std::size_t result_len, F&& routine) noexcept {
    guarded([&] {
        const std::string text = std::forward<F>(routine)();
        text_out(result, result_len, text);
    });
}

// Flushes the console so that its lines keep their place among the caller's
// own output.
void flush_console() noexcept;

// The C message state and the run's message state, field by field.
void message_state_in(const velmorak_message_state& c, services::MessageState& m);
void message_state_out(const services::MessageState& m, velmorak_message_state& c) noexcept;

}  // namespace velmorak::capi

// Defines the exported routine `name` that takes one text and gives one, as
// most text and path routines do: velmorak::util::name on the caller's text at
// its declared length, the result written back by text_result. One definition
// for all of them, so that none can treat its caller's buffers differently.
#define VELMORAK_CAPI_TEXT_TO_TEXT(name)                                                   \
    void name(char* result, size_t result_len, const char* s, size_t s_len) {              \
        velmorak::capi::text_result(result, result_len, [&] {                              \
            return velmorak::util::name(velmorak::capi::text_in(s, s_len));                \
        });                                                                                \
    }
