// The product's names. The program reads no configuration: these are what it removes.
#include "app/app.h"

const char LayoutDisplayName[] = "Deutsch (R7-Belegung V1.06)";
const char DriverBaseName[] = "Quillmap";
const char DriverFileName[] = "Quillmap.DLL";
const char DiagramName[] = "Tastaturbelegung R7 Schaubild";
const char UninstallerFileName[] = "Uninstall_Quillmap.exe";
const char UninstallEntryName[] = "Tastaturbelegung Deutsch (R7-Belegung V1.06)";
const char ProductVersionText[] = "1.06";
