#pragma once
// The profile table to and from the profile file at IniPath.

// Fills Profiles from the file, writing every missing key with its default. Leaves at least one
// profile, each with at least one address and one DNS element, whatever the file holds.
void LoadProfiles();

// Replaces the file with the contents of Profiles. The new file is written beside the old one and
// then moved over it, so the folder always holds one complete file; when anything fails the old
// file stays as it was.
void SaveProfiles();

// Takes the SELECTED marks of the table's profiles from the file, where another Ipshifter left
// them after an apply. Nothing else changes and nothing is written.
void ReloadSelectedMarks();
