#include "capi/d12_status.h"

#include <utility>

#include "services/runtime.h"

namespace velmorak::capi {
namespace {

// One text per thread: two threads opening files each see their own failure.
thread_local std::string last_error_text;

}  // namespace

void set_last_error(std::string text) noexcept { last_error_text = std::move(text); }

void clear_last_error() noexcept { last_error_text.clear(); }

std::string exception_text(std::exception_ptr failure) noexcept {
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            return "out of memory";
        } catch (const services::RunStop&) {
            return "the reading stopped";
        } catch (const std::exception& e) {
            return e.what();
        } catch (...) {
            return "unexpected failure";
        }
    } catch (...) {
        // Building the text itself ran out of memory.
        return {};
    }
}

}  // namespace velmorak::capi

extern "C" {

const char* velmorak_d12_last_error(void) { return velmorak::capi::last_error_text.c_str(); }

int velmorak_d12_api_version(void) { return VELMORAK_D12_API_VERSION; }

}
