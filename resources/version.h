// The product's version and names, shared by the resource script and the program's constants.
// Plain preprocessor definitions only: windres reads this file as well as the C++ compiler.
#pragma once

#define QUILLMAP_VERSION_TEXT "1.06"
// The same version as numbers for the fixed part of the version resource: 1.06 is 1.6.0.0.
#define QUILLMAP_VERSION_NUMBERS 1, 6, 0, 0

#define QUILLMAP_LAYOUT_NAME "Deutsch (R7-Belegung V" QUILLMAP_VERSION_TEXT ")"
#define QUILLMAP_UNINSTALL_ENTRY_NAME "Tastaturbelegung " QUILLMAP_LAYOUT_NAME
#define QUILLMAP_PROGRAM_BASE_NAME "Uninstall_Quillmap"
#define QUILLMAP_PROGRAM_FILE_NAME QUILLMAP_PROGRAM_BASE_NAME ".exe"
#define QUILLMAP_PROGRAM_DESCRIPTION "Tastaturtreiber-Deinstallation"
