#pragma once

#include <string>

// A counted byte string in the program's code page. Lengths and positions count bytes; zero
// bytes are ordinary bytes. std::string compares by unsigned byte value, which is the order the
// program needs for searching and sorting.
using AnsiString = std::string;
