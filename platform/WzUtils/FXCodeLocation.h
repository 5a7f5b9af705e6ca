// FXCodeLocation: where an error was found (source file name, function, line).
#pragma once

struct FXCodeLocation {
    const char* file = "";
    const char* function = "";
    int line = 0;
};

// Fills a location with the current source file name, function and line.
#define FXCODELOC (FXCodeLocation{__FILE_NAME__, __PRETTY_FUNCTION__, __LINE__})
