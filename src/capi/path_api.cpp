// The path and file-name routines for C callers (conventions in
// capi/boundary.h). RELATIVEPATH stays internal.
#include <string>

#include "capi/boundary.h"
#include "util/path.h"

namespace u = velmorak::util;
using velmorak::capi::guarded;
using velmorak::capi::text_in;
using velmorak::capi::text_out;

namespace {

template <typename F>
void path_result(char* result, size_t result_len, const char* path, size_t path_len, F&& routine) {
    guarded([&] {
        const std::string text = routine(text_in(path, path_len));
        text_out(result, result_len, text);
    });
}

}  // namespace

void FILEEXT(char* result, size_t result_len, const char* path, size_t path_len) {
    path_result(result, result_len, path, path_len, [](std::string_view p) { return u::FILEEXT(p); });
}

void FILE___EXT(char* result, size_t result_len, const char* path, size_t path_len) {
    path_result(result, result_len, path, path_len, [](std::string_view p) { return u::FILE___EXT(p); });
}

void FILENAME(char* result, size_t result_len, const char* path, size_t path_len) {
    path_result(result, result_len, path, path_len, [](std::string_view p) { return u::FILENAME(p); });
}

void FILENAMENO_(char* result, size_t result_len, const char* path, size_t path_len) {
    path_result(result, result_len, path, path_len, [](std::string_view p) { return u::FILENAMENO_(p); });
}

void FILENAMEPATH(char* result, size_t result_len, const char* path, size_t path_len) {
    path_result(result, result_len, path, path_len, [](std::string_view p) { return u::FILENAMEPATH(p); });
}

void FILENAMEPATHNO_(char* result, size_t result_len, const char* path, size_t path_len) {
    path_result(result, result_len, path, path_len, [](std::string_view p) { return u::FILENAMEPATHNO_(p); });
}

void FILEFOLDERPATH(char* result, size_t result_len, const char* path, size_t path_len) {
    path_result(result, result_len, path, path_len, [](std::string_view p) { return u::FILEFOLDERPATH(p); });
}

void ADDFOLDER(char* result, size_t result_len, const char* folder, size_t folder_len, const char* file,
               size_t file_len) {
    guarded([&] {
        const std::string text = u::ADDFOLDER(text_in(folder, folder_len), text_in(file, file_len));
        text_out(result, result_len, text);
    });
}

void REMOVEDOTDOT(char* result, size_t result_len, const char* path, size_t path_len) {
    path_result(result, result_len, path, path_len, [](std::string_view p) { return u::REMOVEDOTDOT(p); });
}

void CLEANPATH(char* result, size_t result_len, char* path, size_t path_len) {
    guarded([&] {
        std::string text(text_in(path, path_len));
        const std::string cleaned = u::CLEANPATH(text);
        // Both are written only now: result and path may be the same buffer.
        text_out(path, path_len, text);
        text_out(result, result_len, cleaned);
    });
}
