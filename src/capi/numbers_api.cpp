// The number and field routines for C callers (conventions in capi/boundary.h).
#include "capi/boundary.h"
#include "util/numbers.h"

namespace u = velmorak::util;
using velmorak::capi::guarded;
using velmorak::capi::logical;
using velmorak::capi::text_in;
using velmorak::capi::text_result;

void AINTEGER(char* result, size_t result_len, int32_t i) {
    text_result(result, result_len, [&] { return u::AINTEGER(i); });
}

void AINTEGERPREC0(char* result, size_t result_len, int32_t i, int32_t ndig) {
    text_result(result, result_len, [&] { return u::AINTEGERPREC0(i, ndig); });
}

void AINTEGER8PREC0(char* result, size_t result_len, int64_t i, int32_t ndig) {
    text_result(result, result_len, [&] { return u::AINTEGER8PREC0(i, ndig); });
}

void AREAL(char* result, size_t result_len, float x) {
    text_result(result, result_len, [&] { return u::AREAL(x); });
}

void AREAL8(char* result, size_t result_len, double x) {
    text_result(result, result_len, [&] { return u::AREAL8(x); });
}

void AREALD(char* result, size_t result_len, float x, int32_t nd) {
    text_result(result, result_len, [&] { return u::AREALD(x, nd); });
}

int32_t CSVCOLUMN(const char* header, size_t header_len, const char* name, size_t name_len, int32_t default_column) {
    return guarded(
        [&] { return u::CSVCOLUMN(text_in(header, header_len), text_in(name, name_len), default_column); });
}

int CSVVALUE(const char* line, size_t line_len, int32_t icol, float* value) {
    return guarded([&] { return logical(u::CSVVALUE(text_in(line, line_len), icol, *value)); });
}

void EXTRACTSTRING(char* result, size_t result_len, const char* line, size_t line_len, const char* linelower,
                   size_t linelower_len, const char* name, size_t name_len, int32_t icol) {
    text_result(result, result_len, [&] {
        return u::EXTRACTSTRING(text_in(line, line_len), text_in(linelower, linelower_len), text_in(name, name_len),
                                icol);
    });
}

int32_t EXTRACTINTEGER(const char* line, size_t line_len, const char* linelower, size_t linelower_len,
                       const char* name, size_t name_len, int32_t icol, int32_t default_value) {
    return guarded([&] {
        return u::EXTRACTINTEGER(text_in(line, line_len), text_in(linelower, linelower_len), text_in(name, name_len),
                                 icol, default_value);
    });
}

float EXTRACTREAL(const char* line, size_t line_len, const char* linelower, size_t linelower_len, const char* name,
                  size_t name_len, int32_t icol, float default_value) {
    return guarded([&] {
        return u::EXTRACTREAL(text_in(line, line_len), text_in(linelower, linelower_len), text_in(name, name_len),
                              icol, default_value);
    });
}

int32_t NUMBEROFNUMBERS(const char* line, size_t line_len) {
    return guarded([&] { return u::NUMBEROFNUMBERS(text_in(line, line_len)); });
}
