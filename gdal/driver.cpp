// The driver's registration with GDAL and its test of a file.
#include <cpl_conv.h>
#include <cpl_string.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ogr_12da.h"
#include "deferred_delete.h"
#include "io/utf8_text.h"
#include "tin_layer.h"

namespace velmorak::gdal12 {
namespace {

bool has_extension(const char* path, std::string_view ext) { return EQUAL(CPLGetExtension(path), ext.data()); }

// The lines of the file that are neither empty nor comments, from the bytes
// GDAL read ahead (UTF-16 text decoded), at most `most` of them.
std::vector<std::string> significant_lines(const GByte* bytes, int n, std::size_t most) {
    std::vector<std::string> lines;
    std::string text;
    if (n >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        std::uint32_t pending = 0;
        io::utf16_to_utf8(bytes + 2, static_cast<std::size_t>(n - 2), bytes[0] == 0xFE, true, pending, text);
    } else {
        const std::size_t skip = n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
        text.assign(reinterpret_cast<const char*>(bytes) + skip, static_cast<std::size_t>(n) - skip);
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line.starts_with("//")) continue;
        lines.emplace_back(line);
        if (lines.size() == most) break;
    }
    return lines;
}

// A line a 12d ASCII file opens with: its null value, its first model or
// string, or a TIN. Only as many words are asked for as tell these lines from
// the first line of other text formats.
bool is_12d_first_line(std::string_view line) {
    std::size_t end = line.find_first_of(" \t{");
    const std::string word = end == std::string_view::npos ? std::string(line) : std::string(line.substr(0, end));
    const std::string_view rest = end == std::string_view::npos ? std::string_view() : line.substr(end);
    const bool has_rest = rest.find_first_not_of(" \t") != std::string_view::npos;
    // A file's header may also set the breakline of the strings that follow.
    if (EQUAL(word.c_str(), "null") || EQUAL(word.c_str(), "model") || EQUAL(word.c_str(), "breakline"))
        return has_rest && rest.front() != '{';
    if (EQUAL(word.c_str(), "string") || EQUAL(word.c_str(), "tin") || EQUAL(word.c_str(), "super_tin") ||
        EQUAL(word.c_str(), "full_tin"))
        return rest.find('{') != std::string_view::npos;
    return false;
}

// A ZIP archive whose first member is a .12da, as the terrain package and
// this driver write a .12daz.
bool is_12da_archive(const GByte* bytes, int n) {
    if (n < 30 || std::memcmp(bytes, "PK\x03\x04", 4) != 0) return false;
    const int name_length = bytes[26] | (bytes[27] << 8);
    if (name_length < 5 || 30 + name_length > n) return false;
    const std::string name(reinterpret_cast<const char*>(bytes) + 30, static_cast<std::size_t>(name_length));
    return EQUAL(CPLGetExtension(name.c_str()), "12da");
}

// Whether one of the first significant lines is a line a 12d ASCII file
// opens with (a header may hold a few lines of other kinds before it).
bool is_12d_text(GDALOpenInfo* info) {
    std::vector<std::string> lines = significant_lines(info->pabyHeader, info->nHeaderBytes, 4);
    // A long comment at the top (a hand-written file's notes) hides the first lines.
    if (lines.empty() && info->nHeaderBytes >= 1024 && info->TryToIngest(1 << 16))
        lines = significant_lines(info->pabyHeader, info->nHeaderBytes, 4);
    for (const std::string& line : lines)
        if (is_12d_first_line(line)) return true;
    return false;
}

}  // namespace

int identify(GDALOpenInfo* info) {
    if (info->fpL == nullptr || info->nHeaderBytes == 0) return FALSE;
    if (info->nHeaderBytes >= 2 && info->pabyHeader[0] == 'P' && info->pabyHeader[1] == 'K')
        return is_12da_archive(info->pabyHeader, info->nHeaderBytes) || has_extension(info->pszFilename, "12daz");
    return is_12d_text(info);
}

bool has_12d_extension(const char* path) {
    return has_extension(path, "12da") || has_extension(path, "4da") || has_extension(path, "12daz");
}

namespace {

// What is in the file is told apart from its name: a file named as 12d ASCII
// that holds anything else is handed to the driver all the same, to be
// refused with the reason.
int identify_by_content_or_name(GDALOpenInfo* info) {
    if (identify(info)) return TRUE;
    return info->fpL != nullptr && has_12d_extension(info->pszFilename) ? GDAL_IDENTIFY_UNKNOWN : FALSE;
}

}  // namespace

int identify_for_gdal(GDALOpenInfo* info) { return identify_by_content_or_name(info); }

}  // namespace velmorak::gdal12

namespace {

int identify_12da(GDALOpenInfo* info) {
    if (velmorak::gdal12::is_tin_raster_name(info->pszFilename)) return TRUE;
    return velmorak::gdal12::identify_for_gdal(info);
}
GDALDataset* open_12da(GDALOpenInfo* info) {
    // A TIN's raster: 12DA:"path":"TIN name" (tin_raster.cpp).
    if (velmorak::gdal12::is_tin_raster_name(info->pszFilename)) return velmorak::gdal12::open_tin_raster(info);
    return velmorak::gdal12::D12Dataset::open(info);
}
GDALDataset* create_12da(const char* name, int, int, int, GDALDataType, char** options) {
    return velmorak::gdal12::D12WriteDataset::create(name, options);
}
CPLErr delete_12da(const char* name) { return velmorak::gdal12::delete_later(name) ? CE_None : CE_Failure; }
void unload_12da(GDALDriver*) { velmorak::gdal12::carry_out_deletions(); }

constexpr const char* kOpenOptions =
    "<OpenOptionList>"
    "<Option name='MAX_VERTICES' type='int' default='1000000' description='Most vertices one string may hold; "
    "a string with more ends the reading with an error'/>"
    "<Option name='NULL_HEIGHT' type='string' default='INTERPOLATE' description='What a null height reads as in "
    "a string that has real heights: INTERPOLATE (the height interpolated along the string, counted in the field "
    "null_heights), NaN, or a number such as -999'/>"
    "<Option name='ARCS' type='string-select' default='CURVES' description='How arcs (arc and circle strings, "
    "radius_data and geometry_data of super strings) are read: CURVES (CircularString parts of a CompoundCurve), "
    "DENSIFY (lines within ARC_TOLERANCE of the arcs) or CHORDS (lines of the vertices)'>"
    "<Value>CURVES</Value><Value>DENSIFY</Value><Value>CHORDS</Value></Option>"
    "<Option name='ARC_TOLERANCE' type='float' default='0.01' description='With ARCS=DENSIFY, the largest distance "
    "of a chord from its arc, in the units of the file'/>"
    "<Option name='SRS' type='string' description='The coordinate reference system of the layers (EPSG:28356, "
    "WKT, PROJJSON, a PROJ string ...), before a .prj or a Header.mif beside the file'/>"
    "<Option name='TIN_GEOMETRY' type='string-select' default='TRIANGLES' description='The features of a TIN "
    "layer: TRIANGLES (a POLYGON Z per visible triangle), TIN (one TIN Z per TIN), NONE (no TIN layers)'>"
    "<Value>TRIANGLES</Value><Value>TIN</Value><Value>NONE</Value></Option>"
    "<Option name='RESOLUTION' type='float' description='Cell size of a TIN raster (default: about 1/1000 of "
    "the TIN longer side, a 1-2-5 step)'/>"
    "<Option name='EXTENT' type='string' description='Area of a TIN raster: minx,miny,maxx,maxy (default: the "
    "TIN points)'/>"
    "</OpenOptionList>";
constexpr const char* kCreationOptions =
    "<CreationOptionList>"
    "<Option name='ENCODING' type='string-select' default='UTF-8' description='Text encoding of the file: "
    "UTF-8, or UTF-16 (little-endian, with CRLF line ends, as the terrain package writes)'>"
    "<Value>UTF-8</Value><Value>UTF-16</Value></Option>"
    "</CreationOptionList>";
constexpr const char* kLayerCreationOptions =
    "<LayerCreationOptionList>"
    "<Option name='NAME_FIELD' type='string' description='Field that names the strings (default: a field "
    "called name, else the first text field)'/>"
    "<Option name='COLOUR_FIELD' type='string' description='Field that gives the strings their colour "
    "(default: a field called colour or color)'/>"
    "</LayerCreationOptionList>";

}  // namespace

// GDAL loads a plugin named ogr_<name> and calls its RegisterOGR<name>, or
// else GDALRegisterMe; GDALRegister_12DA is the driver's own name for it, as
// a program that links the driver in calls it.
extern "C" {
void CPL_DLL GDALRegister_12DA();
void CPL_DLL RegisterOGR12DA();
void CPL_DLL GDALRegisterMe();
}

void RegisterOGR12DA() { GDALRegister_12DA(); }
void GDALRegisterMe() { GDALRegister_12DA(); }

void GDALRegister_12DA() {
    if (!GDAL_CHECK_VERSION("12DA driver")) return;
    if (GDALGetDriverByName(velmorak::gdal12::kDriverName) != nullptr) return;
    auto* driver = new GDALDriver();
    driver->SetDescription(velmorak::gdal12::kDriverName);
    driver->SetMetadataItem(GDAL_DCAP_VECTOR, "YES");
    // Each TIN is also an elevation raster, a subdataset of the file.
    driver->SetMetadataItem(GDAL_DCAP_RASTER, "YES");
    driver->SetMetadataItem(GDAL_DMD_SUBDATASETS, "YES");
    driver->SetMetadataItem(GDAL_DMD_LONGNAME, "12d ASCII");
    driver->SetMetadataItem(GDAL_DMD_EXTENSIONS, "12da 4da 12daz");
    driver->SetMetadataItem(GDAL_DMD_EXTENSION, "12da");
    driver->SetMetadataItem(GDAL_DCAP_VIRTUALIO, "YES");
    driver->SetMetadataItem(GDAL_DCAP_Z_GEOMETRIES, "YES");
    driver->SetMetadataItem(GDAL_DCAP_FEATURE_STYLES, "YES");
    driver->SetMetadataItem(GDAL_DCAP_CREATE, "YES");
    driver->SetMetadataItem(GDAL_DCAP_CREATE_LAYER, "YES");
    driver->SetMetadataItem(GDAL_DCAP_CREATE_FIELD, "YES");
    driver->SetMetadataItem(GDAL_DMD_CREATIONFIELDDATATYPES, "Integer Integer64 Real String Date DateTime Time");
    driver->SetMetadataItem(GDAL_DMD_OPENOPTIONLIST, kOpenOptions);
    driver->SetMetadataItem(GDAL_DMD_CREATIONOPTIONLIST, kCreationOptions);
    driver->SetMetadataItem(GDAL_DS_LAYER_CREATIONOPTIONLIST, kLayerCreationOptions);
    driver->pfnIdentify = identify_12da;
    driver->pfnOpen = open_12da;
    driver->pfnCreate = create_12da;
    driver->pfnDelete = delete_12da;
    driver->pfnUnloadDriver = unload_12da;
    GetGDALDriverManager()->RegisterDriver(driver);
}
