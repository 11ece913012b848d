// The text-line routines for C callers (conventions in capi/boundary.h).
#include <string>

#include "capi/boundary.h"
#include "util/text.h"

namespace u = velmorak::util;
using velmorak::capi::guarded;
using velmorak::capi::logical;
using velmorak::capi::text_in;
using velmorak::capi::text_out;

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

template <typename F>
void text_result(char* result, size_t result_len, F&& routine) {
    guarded([&] {
        const std::string text = routine();
        text_out(result, result_len, text);
    });
}

}  // namespace

void SS256(char* result, size_t result_len, const char* s, size_t s_len) {
    text_result(result, result_len, [&] { return u::SS256(text_in(s, s_len)); });
}

int READLINE(int32_t unit, char* line, size_t line_len) {
    return in_place(line, line_len, [&](std::string& text) { return u::READLINE(unit, text); });
}

int COMMENTLINE(char* line, size_t line_len) {
    return in_place(line, line_len, [](std::string& text) { return u::COMMENTLINE(text); });
}

int NUMBERLINE(char* line, size_t line_len) {
    return in_place(line, line_len, [](std::string& text) { return u::NUMBERLINE(text); });
}

int POSITIVEINTEGERNUMBER(char* line, size_t line_len) {
    return in_place(line, line_len, [](std::string& text) { return u::POSITIVEINTEGERNUMBER(text); });
}

int BLANK(char* line, size_t line_len) {
    return in_place(line, line_len, [](std::string& text) { return u::BLANK(text); });
}

int ASAME(const char* a, size_t a_len, const char* b, size_t b_len) {
    return guarded([&] { return logical(u::ASAME(text_in(a, a_len), text_in(b, b_len))); });
}

int ASAMECS(const char* a, size_t a_len, const char* b, size_t b_len) {
    return guarded([&] { return logical(u::ASAMECS(text_in(a, a_len), text_in(b, b_len))); });
}

int FLAGEXISTS(const char* text, size_t text_len, const char* flag, size_t flag_len) {
    return guarded([&] { return logical(u::FLAGEXISTS(text_in(text, text_len), text_in(flag, flag_len))); });
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

void REMOVETABS(char* result, size_t result_len, const char* s, size_t s_len) {
    text_result(result, result_len, [&] { return u::REMOVETABS(text_in(s, s_len)); });
}

void REMOVESPACES(char* result, size_t result_len, const char* s, size_t s_len) {
    text_result(result, result_len, [&] { return u::REMOVESPACES(text_in(s, s_len)); });
}

void REMOVEQUOTES(char* result, size_t result_len, const char* s, size_t s_len) {
    text_result(result, result_len, [&] { return u::REMOVEQUOTES(text_in(s, s_len)); });
}

void DOUBLEQUOTE(char* result, size_t result_len, const char* s, size_t s_len) {
    text_result(result, result_len, [&] { return u::DOUBLEQUOTE(text_in(s, s_len)); });
}

void UPPERCASE(char* result, size_t result_len, const char* s, size_t s_len) {
    text_result(result, result_len, [&] { return u::UPPERCASE(text_in(s, s_len)); });
}

void LOWERCASE(char* result, size_t result_len, const char* s, size_t s_len) {
    text_result(result, result_len, [&] { return u::LOWERCASE(text_in(s, s_len)); });
}

void TRIMF(char* result, size_t result_len, const char* s, size_t s_len) {
    text_result(result, result_len, [&] { return u::TRIMF(text_in(s, s_len)); });
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
