// What the program writes, as the end-to-end tests expect it.
#ifndef KLAVEDO_TEST_EXPECTED_H
#define KLAVEDO_TEST_EXPECTED_H

#include <string>

// On standard error when no clipboard can be reached.
inline const char kDiagnostic[] =
    "\r\nAssertion failed: fOpen, file klavedo, line 46\r\n"
    "\r\nAbnormal program termination\r\n";

// The query as it is echoed: a to z upper-cased, every other byte as it is.
inline std::string Upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 32);
    return s;
}

inline std::string NotFound(const std::string &text, const std::string &path)
{
    return "\"\n   " + Upper(text) + "\" not found in " + path + ".\n";
}

#endif
