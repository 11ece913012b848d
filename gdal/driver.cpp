// The driver's registration with GDAL and its test of a file.
#include <cpl_conv.h>
#include <cpl_string.h>

#include <string>
#include <string_view>

#include "ogr_12da.h"
#include "io/utf8_text.h"

namespace velmorak::gdal12 {
namespace {

bool has_extension(const char* path, std::string_view ext) { return EQUAL(CPLGetExtension(path), ext.data()); }

// The first line of the file that is neither empty nor a comment, from the
// bytes GDAL read ahead (UTF-16 text decoded).
std::string first_significant_line(const GByte* bytes, int n) {
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
        return std::string(line);
    }
    return {};
}

// A line a 12d ASCII file opens with: its null value, its first model or
// string, or a TIN. Only as many words are asked for as tell these lines from
// the first line of other text formats.
bool is_12d_first_line(std::string_view line) {
    std::size_t end = line.find_first_of(" \t{");
    const std::string word = end == std::string_view::npos ? std::string(line) : std::string(line.substr(0, end));
    const std::string_view rest = end == std::string_view::npos ? std::string_view() : line.substr(end);
    const bool has_rest = rest.find_first_not_of(" \t") != std::string_view::npos;
    if (EQUAL(word.c_str(), "null") || EQUAL(word.c_str(), "model")) return has_rest && rest.front() != '{';
    if (EQUAL(word.c_str(), "string") || EQUAL(word.c_str(), "tin") || EQUAL(word.c_str(), "super_tin") ||
        EQUAL(word.c_str(), "full_tin"))
        return rest.find('{') != std::string_view::npos;
    return false;
}

}  // namespace

int identify(GDALOpenInfo* info) {
    if (info->fpL == nullptr) return FALSE;
    if (has_extension(info->pszFilename, "12daz"))
        return info->nHeaderBytes >= 4 && info->pabyHeader[0] == 'P' && info->pabyHeader[1] == 'K';
    if (has_extension(info->pszFilename, "12da") || has_extension(info->pszFilename, "4da")) return TRUE;
    return info->nHeaderBytes > 0 && is_12d_first_line(first_significant_line(info->pabyHeader, info->nHeaderBytes));
}

}  // namespace velmorak::gdal12

namespace {

int identify_12da(GDALOpenInfo* info) { return velmorak::gdal12::identify(info); }
GDALDataset* open_12da(GDALOpenInfo* info) { return velmorak::gdal12::D12Dataset::open(info); }
GDALDataset* create_12da(const char* name, int, int, int, GDALDataType, char** options) {
    return velmorak::gdal12::D12WriteDataset::create(name, options);
}

constexpr const char* kOpenOptions =
    "<OpenOptionList>"
    "<Option name='MAX_VERTICES' type='int' default='1000000' description='Most vertices one string may hold; "
    "a string with more ends the reading with an error'/>"
    "<Option name='NULL_HEIGHT' type='string' default='INTERPOLATE' description='What a null height reads as in "
    "a string that has real heights: INTERPOLATE (the height interpolated along the string, counted in the field "
    "null_heights), NaN, or a number such as -999'/>"
    "<Option name='SRS' type='string' description='The coordinate reference system of the layers (EPSG:28356, "
    "WKT, PROJJSON, a PROJ string ...), before a .prj or a Header.mif beside the file'/>"
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
    GetGDALDriverManager()->RegisterDriver(driver);
}
