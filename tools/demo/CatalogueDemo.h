// The catalogue part of the demo (see CatalogueDemo.cpp).
#pragma once

#include <string>

// Runs it with the plug-in library at `pluginPath`; 0 on success.
int RunCatalogueDemo(const std::string& pluginPath);
