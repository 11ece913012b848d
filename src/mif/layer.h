#pragma once
// A MIF/MID layer as the conversions hold it: its .mif and .mid, opened
// through the unit pool (which reports each open and close on the console by
// its unit number), and the one way a layer this program writes is set up:
// the pair created, its header written, then its table.
//
// An input layer's .mif must have been saved after its MapInfo table (.tab),
// or it is an export of an older state of the table (the save-date check of
// services/savedate.h).
#include <initializer_list>
#include <string_view>

#include "io/input_file.h"
#include "io/output_file.h"

namespace velmorak::mif {

struct InputLayer {
    io::InputFile& mif;
    io::InputFile& mid;
    int mif_unit;
    int mid_unit;
    void close() const;  // the .mif, then the .mid
};

struct OutputLayer {
    io::OutputFile& mif;
    io::OutputFile& mid;
    int mif_unit;
    int mid_unit;
    void close() const;  // the .mid, then the .mif
};

struct miOpenOptions {
    bool check_save_date = true;
    // A stale layer stops for a re-export and is opened again, where it would otherwise only be warned about.
    bool save_date_error = false;
};

// Opens the .mif and .mid of an input layer. `layer` may carry ".mif" or
// ".mid" (any case) or no extension; any other extension stays part of the
// base name.
InputLayer miOpen(std::string_view layer, const miOpenOptions& options);

// Creates the .mif and .mid of an output layer, named as miOpen names them.
OutputLayer miOpenOutput(std::string_view layer);

// The layer's header from a header .mif (copied up to its Columns line; when
// the file is missing, a warning, a pause and a NonEarth header), then its
// table: "Columns n", the column definitions, "Data" and an empty line.
void write_layer_header(OutputLayer& layer, std::string_view header_mif,
                        std::initializer_list<std::string_view> columns);

// The layer's header copied from an input layer's .mif, then its table.
void copy_layer_header(const InputLayer& from, OutputLayer& layer, std::initializer_list<std::string_view> columns);

// miOpenOutput, then write_layer_header.
OutputLayer create_layer(std::string_view layer, std::string_view header_mif,
                         std::initializer_list<std::string_view> columns);

}  // namespace velmorak::mif
