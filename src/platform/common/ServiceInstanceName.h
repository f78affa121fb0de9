#pragma once
#include <string>

// The full DNS-SD name of a service instance, "<name>.<type>.local", in UTF-16 as the
// system's interface takes it. Dots and backslashes in the name are escaped with a
// backslash, so that the name stays one label whatever it holds.
std::u16string ServiceInstanceName(const std::u16string& name, const std::string& type);
