#include "frontend/window_layout.h"

#include <array>

namespace corvid {
namespace {

using K = ControlKind;

constexpr ControlSpec kControls[] = {
    {"Emdb", K::EditBox, "*.mdb", 8, 23, 367, 25, 0, true, "", "", false},
    {"Lmdb", K::Label, "&Access database (*.mdb) ", 8, 8, 125, 13, -1, true,
     "Full path filename to access database file", "Emdb", true},
    {"SBmdb", K::PictureButton, "", 382, 20, 25, 24, -1, true, "", "", false},
    {"Edir", K::EditBox, "/tmp/", 8, 206, 390, 25, 13, true, "", "", false},
    {"Bmdb", K::PushButton, "Go...", 8, 246, 335, 42, 1, true, "", "", false},
    {"Ldir", K::Label, "Directory for output", 8, 191, 96, 13, -1, true, "", "Edir", true},
    {"Pstatus", K::StatusPanel, "", 0, 434, 413, 21, 16, true, "", "", false},
    {"Efield1", K::EditBox, "id", 8, 145, 100, 25, 8, true, "", "", false},
    {"Lfield", K::Label, "Field 1. with filename", 8, 130, 101, 13, -1, true,
     "Fieldname with filename (or first part of filename if combined with Field 2)", "Efield1",
     true},
    {"Eimg", K::EditBox, "img", 8, 99, 100, 25, 4, true, "", "", false},
    {"Limg", K::Label, "Field with image", 8, 84, 76, 13, -1, true,
     "The blob field conaining the image data (not the filename...)", "Eimg", true},
    {"Mlog", K::LogBox, "", 0, 292, 413, 142, 15, true, "", "", false},
    {"Etbl", K::EditBox, "table", 8, 61, 100, 25, 2, true, "", "", false},
    {"Ltbl", K::Label, "Table with data", 8, 46, 74, 13, -1, true,
     "Table with data to access inside access database", "Etbl", true},
    {"Lff", K::Label, "Field to filter on", 115, 84, 75, 13, -1, true, "", "Efilter", false},
    {"Efilter", K::EditBox, "filter", 115, 99, 100, 25, 5, true, "", "", false},
    {"Lfv", K::Label, "Filter value", 222, 84, 53, 13, -1, true, "", "Evalue", false},
    {"Evalue", K::EditBox, "*", 222, 99, 92, 25, 6, true, "", "", false},
    {"CBfilter", K::CheckBox, "Use filter field as directory", 8, 229, 192, 17, 14, true,
     "Use the value in the filter column as a directory", "", false},
    {"CBext", K::CheckBox, "Use value in field 1 as filename", 8, 168, 184, 17, 11, false,
     "If the field includes a filename with extension, use the extension as filetype... (NOT "
     "CHECKING FOR HEADERS)",
     "", false},
    {"CBlogin", K::CheckBox, "Login Prompt (Use: Database Password)", 115, 61, 260, 17, 3, false,
     "Use loginprompt when connecting to database", "", false},
    {"CBdmp", K::CheckBox, "Create .dmp", 329, 99, 169, 17, 7, false,
     "Create field-content-dump-files for all records", "", false},
    {"CBskip", K::CheckBox, "Skip unknown formats", 222, 168, 152, 17, 12, false,
     "Skip not recognized formats", "", false},
    {"Lfield2", K::Label, "Field 2. with filename", 115, 130, 101, 13, -1, true,
     "Second part of filename (Field1+Field2)", "Efield2", true},
    {"Efield2", K::EditBox, "", 115, 145, 100, 25, 9, true, "", "", false},
    {"Lfext", K::Label, "Field with .extension", 222, 130, 99, 13, -1, false, "", "Efext", false},
    {"Efext", K::EditBox, "", 222, 145, 100, 25, 10, false, "", "", false},
    {"CBdeep", K::CheckBox, "Deep 1:2k; 2:312k", 222, 187, 152, 16, 17, false,
     "Check first for file header in the first 2k, if not found try the first 312k", "", false},
    {"Pshow", K::Panel, "", 373, 165, 38, 38, 18, true, "", "", false},
    {"Braw", K::PushButton, "Raw...", 349, 246, 58, 42, 19, true, "", "", false},
    // Shown and hidden with the check boxes above; never stored. They lie
    // where the never-shown extension field would be.
    {"CBunwrap", K::CheckBox, "Unwrap OLE objects", 222, 130, 104, 17, 20, false,
     "Read OLE objects by their structure: packaged files, bitmaps and Office documents come out "
     "whole",
     "", false},
    {"CBnames", K::CheckBox, "Use embedded file names", 222, 148, 152, 17, 21, false,
     "With unwrapping: append a packaged file's own name to the file name", "", false},
    {"Emanifest", K::EditBox, "", 329, 118, 78, 25, 22, false,
     "Manifest file: one row per record and file written (CSV; JSON Lines for .json/.jsonl); empty "
     "for none",
     "", false},
};

constexpr std::string_view kHelpLines[] = {
    "Corvid",
    "Extract embedded images/blobs from an access table",
    "Extract currently bmp,dib,jpg,gif,psd,psp,cpt,png,wmf,tif,pdf,office files",
    "Works with OLE emdedded blobs",
    "Reads Access files directly (.mdb, .accdb); no DAO needed",
    "Filenames becomes \"/tmp/123.bmp\" for (id=123)",
    "More info from corvid@tallowmere.example",
    "Good Luck",
    "- - -",
    "To extract part of the database, use the filter, se examples below:",
    "Field to filter on = ident",
    "Filter value = test",
    "only export rows where the substring test exists in value of ident field",
    "",
    "Field to filter on = id",
    "Filter value = 100 - 200",
    "only exports rows where id >=100 <=200",
};

constexpr FileFilter kFilters[] = {
    {"Accessdatabaser (*.mdb)", "*.mdb *.MDB *.accdb *.ACCDB"},
    {"dBase (*.dbf)", "*.dbf"},
    {"Mapwick (*.ini)", "*.ini"},
    {"Koordinatfiler (*.txt)", "*.txt"},
};

}  // namespace

std::span<const ControlSpec> MainWindowControls() { return kControls; }

const ControlSpec* FindControlSpec(std::string_view name) {
  for (const ControlSpec& control : kControls) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

std::span<const std::string_view> HelpLines() { return kHelpLines; }
std::span<const FileFilter> DatabaseFileFilters() { return kFilters; }

}  // namespace corvid
