#pragma once
// The operating system behind the file layer: everything the program asks of
// the system about files, folders and memory goes through these few calls.
// One file implements them for POSIX (platform_posix.cpp) and one for Windows
// (platform_windows.cpp, with its UTF-16 conversions in platform_windows_text);
// the build compiles those for its target, and no other file of the program
// calls the system or tests which one it runs on.
//
// Names are the program's own text, with "\" and "/" both separating folders:
// bytes as given on POSIX; UTF-8 on Windows, where a byte that begins no UTF-8
// character is read as Windows-1252 (the text of 12d and MIF files, which can
// name a cross-section file). A name holding a NUL is refused by the
// callers before it gets here. Failures are told in the same words on both
// systems (the texts of the POSIX error numbers), so the user sees the same
// messages everywhere.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
    // A file with no name yet in the folder `name` would be in (Linux), named
    // by `link` once whole; it vanishes by itself if the run ends before.
    // Fails where the system or the file system has no such files.
    unnamed,
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
    // Gives a file opened `unnamed` the name `to`; fails with EEXIST when the name is taken.
    bool (*link)(Handle file, const char* to, int& err);
    // A second handle on a file opened `unnamed`, read only, which keeps the
    // file (and can name it with `link`) once the first one is closed: the
    // writing handle is closed, and its failure seen, before the file has a name.
    Handle (*keep_unnamed)(Handle file, int& err);
    // Writes the file's data to the disk (fdatasync; FlushFileBuffers on
    // Windows), so that a power loss after its rename finds it whole.
    bool (*sync)(Handle file, int& err);
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
bool link(Handle file, const char* to, int& err);
Handle keep_unnamed(Handle file, int& err);
bool sync(Handle file, int& err);
bool remove(const char* name);
void* open_folder(const char* name);
const char* next_in_folder(void* folder);
void close_folder(void* folder);
}  // namespace native

// The name as the system's own path text: on POSIX backslashes become "/".
std::string native_name(std::string_view name);
// The name as a path of the standard library (which would read a narrow name
// on Windows in the ANSI code page).
std::filesystem::path native_path(std::string_view name);

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
// The device and file number of the file a name leads to, as spelled (links
// followed); empty when there is none. Two names of one file share them.
std::optional<std::pair<std::uint64_t, std::uint64_t>> file_identity(std::string_view name);

// How an output is written. Normally into a temporary file beside the file it
// replaces, which takes that file's place once it is whole; the file replaced
// is the output itself, or the plain file a symbolic link of that name leads
// to. An output that exists and is not a plain file (a device, a named pipe,
// a link to one) is written in place: a temporary beside a device would be a
// file in /dev.
struct OutputPlan {
    std::string target;     // the system's name of the file written or replaced
    std::string temporary;  // the system's name of the temporary; empty when written in place
    int permissions = -1;   // those of the file replaced, given to the temporary (POSIX); -1 none
    // A new file: where the system can, its temporary is an unnamed file in
    // its folder, which needs no name and no removal, and takes the output's
    // name at once, cheaper than a rename (`temporary` is then the fallback).
    bool unnamed = false;
    // The file_identity of the file written in place or replaced; empty for a new file.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> identity;
};
// False, with the reason in `why`, when the output cannot be written (a
// read-only file). `shorter` asks for a temporary of a short name, for a
// target whose name is too long to lengthen.
bool plan_output(std::string_view name, bool shorter, OutputPlan& plan, std::string& why);
// Gives an open temporary the permissions of the file it replaces.
void set_permissions(Handle file, int permissions);

// Temporaries still being written, removed when the run is interrupted
// (Ctrl+C, SIGTERM, SIGHUP; on Windows Ctrl+C, Ctrl+Break and closing the
// console), before the program exits with 128 plus the signal's number (130
// for Ctrl+C, 143 for a termination). hold_temporary gives a slot to pass to
// release_temporary once the temporary is renamed or removed; -1 when every
// slot is taken (the temporary is then left by an interrupt).
void remove_temporaries_on_interrupt();
int hold_temporary(const std::string& native);
void release_temporary(int slot);
// Removes the temporaries held; safe to call from a signal handler.
void remove_held_temporaries() noexcept;
// Holds the interrupts above (not ignored: delivered, and the run ended, when
// the last hold is released) while outputs that belong together take their
// names, so that an interrupt finds either all of them or none renamed.
void hold_interrupts() noexcept;
void release_interrupts() noexcept;
class InterruptsHeld {
public:
    InterruptsHeld() noexcept { hold_interrupts(); }
    ~InterruptsHeld() { release_interrupts(); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// An exclusive lock that runs writing the same files take in turn (flock on
// POSIX, LockFileEx on Windows), on a lock file of that name, created when
// missing. When another run holds it, `waiting` is called once and the lock
// waited for. kNoHandle, with the error, when the file cannot be made.
// unlock_file removes the file and lets the next run have the lock.
Handle lock_file(const char* name, void (*waiting)(void* context), void* context, int& err);
void unlock_file(Handle lock, const char* name) noexcept;

// The text of a POSIX error number (or kNotRegularFile), the same on every system.
std::string error_text(int err);

// Memory aligned to `alignment` (a power of two); nullptr when there is none.
// `large` asks the system to back it with huge pages where it can.
void* allocate_aligned(std::size_t alignment, std::size_t bytes, bool large);
void free_aligned(void* p) noexcept;

// Standard input and output carry bytes as they are: no line-end translation.
void binary_standard_streams();

// ------------------------------------------------ command line and console

// The arguments, the program's own path first. On Windows they are read from
// the wide command line and given as UTF-8, so a name outside the ANSI code
// page arrives as typed; on POSIX they are argv as it is.
std::vector<std::string> command_line(int argc, char** argv);

// True when standard input is a terminal (a console window on Windows), false
// for a pipe, a file or the null device: a loop's list or a script's input.
bool standard_input_is_terminal();

// The streams of the run's console. On Windows a console window is read and
// written in wide characters, so that names show and are typed in any script;
// everywhere else these are standard input and output.
std::istream& console_input();
std::ostream& console_output();
// Standard error, where a quiet run writes its messages (a console window in wide characters too).
std::ostream& console_error();

// Runs a line typed at a pause with the system's command interpreter; its
// status is the user's business.
void run_command(const std::string& command);

}  // namespace velmorak::io::platform
