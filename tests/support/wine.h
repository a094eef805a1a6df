// Windows programs under Wine for the tests: one private prefix whose server
// and background services stay up for the whole test run.
#ifndef KLAVEDO_TEST_WINE_H
#define KLAVEDO_TEST_WINE_H

#include <string>
#include <vector>

// Creates a private prefix, points this process's environment at it and the
// current X server, and starts its server and a keeper program from
// helperDir. False when Wine could not be brought up.
bool StartWine(const std::string &helperDir);
// Kills everything that runs in the prefix and removes it.
void StopWine();

// The command that runs a Windows program.
std::vector<std::string> WineCommand(const std::string &exe);

// Another program opens the clipboard and keeps it open; waits until it does.
bool HoldClipboard();
void ReleaseClipboard();

#endif
