#pragma once
// The operating system behind the file layer: everything the program asks of
// the system about files, folders and memory goes through these few calls.
// One file implements them for POSIX (platform_posix.cpp) and one for Windows
// (platform_windows.cpp); the build compiles the one for its target, and no
// other file of the program calls the system or tests which one it runs on.
//
// Names are the program's own text (8-bit, Windows-1252 on Windows), with "\"
// and "/" both separating folders. A name holding a NUL is refused by the
// callers before it gets here. Failures are told in the same words on both
// systems (the texts of the POSIX error numbers), so the user sees the same
// messages everywhere.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmorak::io::platform {

// A file the system holds open: a descriptor on POSIX, a HANDLE on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// The error of an input that exists but is no plain file (a named pipe, a
// device): no POSIX number says it in the words users of the program know.
inline constexpr int kNotRegularFile = 100000;

enum class OpenFor {
    reading,    // a plain file, shared with other programs (a folder fails with EISDIR)
    creating,   // a new file: fails with EEXIST when the name is taken
    replacing,  // created, or emptied when it exists
    appending,  // created, or written at its end
};

// The calls the file layer makes of the system to open, read, write, close,
// rename and list files, as one table. A test replaces an entry to make a call
// fail at a chosen moment, or to count calls, and puts the table back: the
// way SQLite's tests drive its OS layer. Each entry tells a failure by its
// result and the POSIX error number in `err`. Names are the system's own text
// (native_name); on Windows the entries convert them for the wide calls.
struct SystemCalls {
    Handle (*open)(const char* name, OpenFor how, int& err);
    // Up to n bytes at the file's position: how many, 0 at the end, -1 on error.
    std::ptrdiff_t (*read)(Handle file, void* dst, std::size_t n, int& err);
    // The same from `offset`, leaving the position alone where the system can.
    std::ptrdiff_t (*read_at)(Handle file, void* dst, std::size_t n, std::uint64_t offset, int& err);
    // Some of the n bytes (at least one), or -1.
    std::ptrdiff_t (*write)(Handle file, const void* src, std::size_t n, int& err);
    bool (*close)(Handle file, int& err);
    bool (*rewind)(Handle file);
    std::int64_t (*size)(Handle file);  // -1 when the file has no size (not a plain file)
    // Puts `from` in the place of `to`, replacing the file there.
    bool (*rename)(const char* from, const char* to, int& err);
    bool (*remove)(const char* name);
    // A folder's entries, for the letter-case lookup of inputs (POSIX only:
    // Windows finds names in any case by itself and never lists a folder).
    void* (*open_folder)(const char* name);
    const char* (*next_in_folder)(void* folder);  // nullptr after the last entry
    void (*close_folder)(void* folder);
};
// The table in use, one for the process.
SystemCalls& system_calls();

// The system's own entries, the table's first contents: each platform file
// defines them. Everything else calls them through system_calls().
namespace native {
Handle open(const char* name, OpenFor how, int& err);
std::ptrdiff_t read(Handle file, void* dst, std::size_t n, int& err);
std::ptrdiff_t read_at(Handle file, void* dst, std::size_t n, std::uint64_t offset, int& err);
std::ptrdiff_t write(Handle file, const void* src, std::size_t n, int& err);
bool close(Handle file, int& err);
bool rewind(Handle file);
std::int64_t size(Handle file);
bool rename(const char* from, const char* to, int& err);
bool remove(const char* name);
void* open_folder(const char* name);
const char* next_in_folder(void* folder);
void close_folder(void* folder);
}  // namespace native

// The name as the system's own path text: on POSIX backslashes become "/".
std::string native_name(std::string_view name);

// The name under which an input is found. A name that exists is kept. On
// POSIX, a name missing as spelled becomes the one entry of its folder whose
// name differs from it only in the case of ASCII letters, the way the Windows
// file system would find it; with none or several such entries the name is
// kept as it is. Windows finds names in any case by itself and keeps them all.
// Outputs are written as spelled and never looked up this way.
std::string input_name(std::string_view name);

// Whether an input of this name is found, and its last-modification time in
// whole seconds since 1970 (empty when unknown); both as inputs are found.
bool exists(std::string_view name);
std::optional<std::int64_t> modified_seconds(std::string_view name);
// True when both names, as spelled, exist and are one file (device and file number).
bool same_existing_file(std::string_view a, std::string_view b);

// The text of a POSIX error number (or kNotRegularFile), the same on every system.
std::string error_text(int err);

// Memory aligned to `alignment` (a power of two); nullptr when there is none.
// `large` asks the system to back it with huge pages where it can.
void* allocate_aligned(std::size_t alignment, std::size_t bytes, bool large);
void free_aligned(void* p) noexcept;

// Standard input and output carry bytes as they are: no line-end translation.
void binary_standard_streams();

}  // namespace velmorak::io::platform
