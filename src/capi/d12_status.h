#pragma once
// The state the 12d ASCII reading and writing functions of velmorak/d12.h
// share: the error text of the last open or create that failed on a thread
// (velmorak_d12_last_error), and how an export keeps every C++ exception on
// its own side of the C interface.
#include <exception>
#include <new>
#include <string>

#include "velmorak/d12.h"

namespace velmorak::capi {

// Sets the text velmorak_d12_last_error gives on this thread. A handle's own
// errors stay with the handle; this is for the opens and creates that give no
// handle.
void set_last_error(std::string text) noexcept;
void clear_last_error() noexcept;

// The reason of an exception caught at the interface, as one line.
std::string exception_text(std::exception_ptr failure) noexcept;

// Runs an export's body: any exception (std::bad_alloc included) becomes
// VELMORAK_D12_ERROR, its reason handed to `on_error`. An exception of
// `on_error` itself (no memory left to compose the text) is dropped: the
// status still tells the caller.
template <typename F, typename E>
int d12_guarded(F&& body, E&& on_error) noexcept {
    std::exception_ptr failure;
    try {
        return body();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        on_error(exception_text(failure));
    } catch (...) {
    }
    return VELMORAK_D12_ERROR;
}

}  // namespace velmorak::capi
