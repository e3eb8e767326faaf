#pragma once
// Resource identifiers shared by the resource script and the code.
#define IDI_IPSHIFTER 1
#define IDB_LOGO_2000 101
#define IDB_LOGO_XP 102
#define IDB_LOGO_VISTA 103
