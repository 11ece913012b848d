// The path and file-name routines for C callers (conventions in
// capi/boundary.h). RELATIVEPATH stays internal.
#include <string>

#include "capi/boundary.h"
#include "util/path.h"

namespace u = velmorak::util;
using velmorak::capi::guarded;
using velmorak::capi::text_in;
using velmorak::capi::text_out;
using velmorak::capi::text_result;

VELMORAK_CAPI_TEXT_TO_TEXT(FILEEXT)
VELMORAK_CAPI_TEXT_TO_TEXT(FILE___EXT)
VELMORAK_CAPI_TEXT_TO_TEXT(FILENAME)
VELMORAK_CAPI_TEXT_TO_TEXT(FILENAMENO_)
VELMORAK_CAPI_TEXT_TO_TEXT(FILENAMEPATH)
VELMORAK_CAPI_TEXT_TO_TEXT(FILENAMEPATHNO_)
VELMORAK_CAPI_TEXT_TO_TEXT(FILEFOLDERPATH)
VELMORAK_CAPI_TEXT_TO_TEXT(REMOVEDOTDOT)

void ADDFOLDER(char* result, size_t result_len, const char* folder, size_t folder_len, const char* file,
               size_t file_len) {
    text_result(result, result_len, [&] { return u::ADDFOLDER(text_in(folder, folder_len), text_in(file, file_len)); });
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
