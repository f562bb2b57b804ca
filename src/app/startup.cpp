// The start-up checks and the self-relocation into TEMP.
#include "app/app.h"

char TargetLayoutKey[260];
char WindowTitle[260];
