#pragma once
// File units: the pool of units 901 to 1000 (lowest free first) that owns every
// file the converter opens, OPENFILE with its console report, the prompt for a
// missing input and the retry loop for an output that cannot be created, and
// CLOSER. The pool also keeps the table of open files by normalised path, so
// that opening a file this program already holds is noticed.
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_source.h"
#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"

namespace velmorak::services {

class UnitPool {
public:
    static constexpr int kFirstUnit = 901;
    static constexpr int kSlots = 100;

    UnitPool();
    ~UnitPool();
    UnitPool(const UnitPool&) = delete;
    UnitPool& operator=(const UnitPool&) = delete;

    void reset();                 // every slot free (files still open are closed)
    int lowest_free() const;      // 0 when every slot is in use
    bool in_use(int unit) const;
    void set_in_use(int unit, bool used);

    // The file connected to a unit. input()/output() stop the run with an
    // ERROR when the unit holds no file of that direction (a program fault).
    io::InputFile& input(int unit);
    io::OutputFile& output(int unit);
    io::InputFile* input_or_null(int unit);
    io::OutputFile* output_or_null(int unit);
    bool connected(int unit) const;
    const std::string& name_of(int unit) const;

    // The unit connected to this file, 0 when none.
    int unit_holding(std::string_view name) const;

    void connect(int unit, std::string_view name, std::unique_ptr<io::InputFile> file);
    void connect(int unit, std::string_view name, std::unique_ptr<io::OutputFile> file);
    // Closes the file of a unit; false when an output could not be written
    // whole, with the reason and the name of that output (the unit's own, or
    // one of its set that waited for it).
    //
    // An output is written to a temporary that takes the output's place when
    // it is closed here. The outputs of one set - names that differ only in
    // their extension, such as the .mif and .mid of a layer - take their
    // places together, when the last of them that is open is closed.
    bool disconnect(int unit, std::string* why = nullptr, std::string* failed = nullptr);
    // Closes every output still connected, in unit order, as CLOSER does but
    // without its report line; false, with the output's name and the reason,
    // at the first that could not be written whole.
    bool close_outputs(std::string& name, std::string& why);
    // Closes every connected unit without report: the end of a run that
    // stops. Outputs not closed yet are dropped: the files they were to
    // replace stay as they were.
    void close_all();

private:
    struct Slot {
        bool in_use = false;
        std::unique_ptr<io::InputFile> in;
        std::unique_ptr<io::OutputFile> out;
        std::string name;
        std::string key;
        std::string set;  // the key without the extension
    };
    // A closed output waiting for the rest of its set.
    struct Waiting {
        std::string set;
        std::string name;
        std::unique_ptr<io::OutputFile> out;
    };
    Slot* slot(int unit);
    const Slot* slot(int unit) const;
    Slot* attach(int unit, std::string_view name);  // the unit's slot, emptied and named
    bool finish_output(Slot& s, std::string* why, std::string* failed);
    std::array<Slot, kSlots> slots_;
    std::vector<Waiting> waiting_;
};

// Opens the bytes of an input that exists: nullptr and the reason in `why`
// when it cannot. `note` may receive a line for the console about what was
// opened (the member of an archive), shown after the unit.
using InputOpener = std::unique_ptr<io::ByteSource> (*)(const std::string& name, std::string& why, std::string& note);

// Opens `name` with a file-type code ("I ", "O ", "A ", ...) on the lowest free unit.
void OPENFILE(int& unit, std::string_view type, std::string_view name, int ignored = 0);
// The same with an opener of its own for an input (a plain file without one).
void OPENFILE(int& unit, std::string_view type, std::string_view name, InputOpener opener);
// The worker behind OPENFILE; a replacement name typed at the prompt is written back.
void OPENUNIT(int& unit, std::string& name, std::string_view type, InputOpener opener = nullptr);
// Stops the run: "ERROR - Cannot read file "NAME": " and the reason.
[[noreturn]] void cannot_read(std::string_view name, std::string_view why);
// Every input stops the run where a read fails (a disk error, a file cut
// while it is read, a damaged archive member) with cannot_read and the
// reason: the readers would take a failed read for the end of the file, and
// convert part of it. The pool wraps each input it opens so.
std::unique_ptr<io::ByteSource> stop_on_read_failure(std::unique_ptr<io::ByteSource> source, std::string name);
void CLOSER(int unit);
// The normal end of a run: every output still open is closed, and one that
// could not be written whole stops the run with an ERROR.
void close_open_outputs();
// Length without trailing blanks and NULs; writes a NUL after the kept text when there is room.
int LENSL(char* text, int length);

}  // namespace velmorak::services
