#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A written channel page read as a browser reads it (an HTML5 parser), against what the
// page writer may put there: one story block per item with its title and icons inside,
// the page's own scripts and handlers only, no comment, no element that runs, loads a
// frame or a plug-in or submits, and no address but http(s), mailto, inline images and the
// page's own style files and item calls. Empty when the page passes; else what failed.
std::string AuditPage(const std::string& page, const std::vector<uint32_t>& items);
