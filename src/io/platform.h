#pragma once
// The operating system behind the file layer: everything the program asks of
// the system about files, folders and memory goes through these few calls.
// One file implements them for POSIX (platform_posix.cpp) and one for Windows
// (platform_windows.cpp); the build compiles the one for its target, and no
// other file of the program calls the system or tests which one it runs on.
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
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_source.h"

namespace velmorak::io::platform {

// Where written bytes go: a file created or appended to.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all n bytes; false (error() says why) when it cannot.
    virtual bool write(const void* src, std::size_t n) = 0;
    virtual bool close() = 0;
    virtual const std::string& error() const = 0;
};

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
std::string input_name(std::string_view name);

bool exists(std::string_view name);
// Last-modification time in whole seconds since 1970; empty when unknown.
std::optional<std::int64_t> modified_seconds(std::string_view name);
// True when both names exist and are one file (device and file number).
bool same_existing_file(std::string_view a, std::string_view b);

// A plain file opened for shared reading; nullptr and the reason in `why` for
// anything else (a folder, a device, a named pipe, a missing file).
std::unique_ptr<ByteSource> open_for_reading(std::string_view name, std::string& why);
// Creates or empties the file, or appends to it; nullptr and the reason in
// `why` when it cannot, at once also for a named pipe that nobody reads.
std::unique_ptr<ByteSink> open_for_writing(std::string_view name, bool append, std::string& why);

// The text of a POSIX error number, the same on every system.
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

// Runs a line typed at a pause with the system's command interpreter; its
// status is the user's business.
void run_command(const std::string& command);

}  // namespace velmorak::io::platform
