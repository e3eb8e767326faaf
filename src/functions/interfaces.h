#pragma once

// Appends every connection name, from the first, to the main window's connection list.
void FillInterfaceList();
