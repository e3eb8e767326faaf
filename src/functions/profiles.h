#pragma once
// The profile table to and from the profile file at IniPath.
#include "globals/mdlGVars.h"

#include <windows.h>

#include <string>
#include <vector>

// Fills Profiles from the file, writing every missing key with its default. Leaves at least one
// profile, each with at least one address and one DNS element, whatever the file holds.
void LoadProfiles();
// The same load with every key read on its own through the per-key calls: what LoadProfiles
// must match, in the table and in the file.
void LoadProfilesKeyByKey();

// The whole profile file for a table, byte for byte as the platform's INI writer leaves it when
// the table is written key by key into an empty file; it differs only for a text in which a line
// break is followed by a section header or by the name of a later key of the same section.
std::string ProfileFileText(const std::vector<ProfileRecord>& table);

struct SaveResult {
    bool ok = true;
    // The platform's error code when the save failed.
    DWORD error = ERROR_SUCCESS;
};

// Replaces the file with the contents of Profiles. The new file is written beside the old one and
// then moved over it, so the folder always holds one complete file; when anything fails the old
// file stays as it was and no temporary file is left.
SaveResult SaveProfiles();

// Marks the profile as the one applied last to its connection (SELECTED 1, and 0 on the other
// profiles of exactly that connection name) and saves the table. The marks reach the file only
// through the save, which replaces it whole: written into the file one by one, a crash among
// them could leave the connection with no profile marked, or a cut file.
SaveResult MarkApplied(std::size_t index);

// Takes the SELECTED marks of the table's profiles from the file, where another Ipshifter left
// them after an apply. Nothing else changes and nothing is written.
void ReloadSelectedMarks();
