// CWzLibrary: short library names to file names.
#include "WzUtils/CWzLibrary.h"

std::string CWzLibrary::GetLibraryNameForName(const std::string& name) const {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    return "lib" + name + ".so";
}
