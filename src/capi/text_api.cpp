// The text-line routines for C callers (conventions in capi/boundary.h).
#include <string>

#include "capi/boundary.h"
#include "util/text.h"

namespace u = velmorak::util;
using velmorak::capi::guarded;
using velmorak::capi::logical;
using velmorak::capi::text_in;
using velmorak::capi::text_out;
using velmorak::capi::text_result;

namespace {

// Runs an in-place routine on a copy of the caller's text and writes the
// changed text back, blank-padded to the caller's length.
template <typename F>
int in_place(char* line, size_t line_len, F&& routine) {
    return guarded([&] {
        std::string text(text_in(line, line_len));
        const bool result = routine(text);
        text_out(line, line_len, text);
        return logical(result);
    });
}

// Runs a comparison of two texts at their declared lengths.
template <typename F>
int compare(const char* a, size_t a_len, const char* b, size_t b_len, F&& routine) {
    return guarded([&] { return logical(routine(text_in(a, a_len), text_in(b, b_len))); });
}

}  // namespace

// The exported routine `name` that classifies a line and changes it in place.
#define VELMORAK_CAPI_IN_PLACE(name) \
    int name(char* line, size_t line_len) { return in_place(line, line_len, u::name); }

VELMORAK_CAPI_TEXT_TO_TEXT(SS256)
VELMORAK_CAPI_TEXT_TO_TEXT(REMOVETABS)
VELMORAK_CAPI_TEXT_TO_TEXT(REMOVESPACES)
VELMORAK_CAPI_TEXT_TO_TEXT(REMOVEQUOTES)
VELMORAK_CAPI_TEXT_TO_TEXT(DOUBLEQUOTE)
VELMORAK_CAPI_TEXT_TO_TEXT(UPPERCASE)
VELMORAK_CAPI_TEXT_TO_TEXT(LOWERCASE)
VELMORAK_CAPI_TEXT_TO_TEXT(TRIMF)
VELMORAK_CAPI_IN_PLACE(COMMENTLINE)
VELMORAK_CAPI_IN_PLACE(NUMBERLINE)
VELMORAK_CAPI_IN_PLACE(POSITIVEINTEGERNUMBER)
VELMORAK_CAPI_IN_PLACE(BLANK)
#undef VELMORAK_CAPI_IN_PLACE

int READLINE(int32_t unit, char* line, size_t line_len) {
    return in_place(line, line_len, [&](std::string& text) { return u::READLINE(unit, text); });
}

int ASAME(const char* a, size_t a_len, const char* b, size_t b_len) {
    return compare(a, a_len, b, b_len, u::ASAME);
}

int ASAMECS(const char* a, size_t a_len, const char* b, size_t b_len) {
    return compare(a, a_len, b, b_len, u::ASAMECS);
}

int FLAGEXISTS(const char* text, size_t text_len, const char* flag, size_t flag_len) {
    return compare(text, text_len, flag, flag_len, u::FLAGEXISTS);
}

int CHECKLINE(const char* line, size_t line_len, const char* flag, size_t flag_len, const char* separator,
              size_t separator_len, int32_t column, char* right, size_t right_len, char* left, size_t left_len) {
    return guarded([&] {
        std::string right_text;
        std::string left_text;
        const bool result = u::CHECKLINE(text_in(line, line_len), text_in(flag, flag_len),
                                         text_in(separator, separator_len), column, right_text, left_text);
        text_out(right, right_len, right_text);
        text_out(left, left_len, left_text);
        return logical(result);
    });
}

void REPLACE(char* result, size_t result_len, const char* s, size_t s_len, const char* old_text, size_t old_len,
             const char* new_text, size_t new_len) {
    text_result(result, result_len, [&] {
        return u::REPLACE(text_in(s, s_len), text_in(old_text, old_len), text_in(new_text, new_len));
    });
}

void SUBSTRING(char* result, size_t result_len, const char* s, size_t s_len, const char* separator,
               size_t separator_len, int32_t n) {
    text_result(result, result_len,
                [&] { return u::SUBSTRING(text_in(s, s_len), text_in(separator, separator_len), n); });
}
