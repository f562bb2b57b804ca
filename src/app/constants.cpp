// The product's names. The program reads no configuration: these are what it removes.
// The version and the names that carry it come from resources/version.h, which the version
// resource reads too.
#include "app/app.h"
#include "version.h"

const char LayoutDisplayName[] = QUILLMAP_LAYOUT_NAME;
const char DriverBaseName[] = "Quillmap";
const char DriverFileName[] = "Quillmap.DLL";
const char DiagramName[] = "Tastaturbelegung R7 Schaubild";
const char UninstallerFileName[] = QUILLMAP_PROGRAM_FILE_NAME;
const char UninstallEntryName[] = QUILLMAP_UNINSTALL_ENTRY_NAME;
const char ProductVersionText[] = QUILLMAP_VERSION_TEXT;
