// UTF-8 <-> UTF-16, for files, command lines and consoles.
#pragma once

#include <string>

#include "host/value.h"

namespace addin {

Text Utf16(std::string_view utf8);
std::string Utf8(TextView text);

}  // namespace addin
