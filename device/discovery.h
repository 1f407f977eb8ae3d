// Discovery of the controller's USB interface: what the last listing found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Number of interfaces the library reported last.
extern uint32_t deviceCount;
// The description table handed to the library: one 64-byte buffer per counted interface and
// a null slot after the last. It is sized by the count the library reported, so any number
// of interfaces fits; empty outside a discovery run.
extern std::vector<char*> deviceDescriptions;
// The full description of the interface opened last, exactly as listed.
extern std::string selectedDescription;

// The name shown for a description: the two-character interface suffix dropped, unless the
// description is five characters or shorter.
std::string ShownDeviceName(const std::string& description);
