// The addresses the program reaches, compiled in: each executable links the
// definitions generated from the build's configuration (config.cpp.in), so
// nothing is read from a file, the environment or the command line.
#pragma once

namespace zoq::app {

extern const char* const kVersionPageUrl;   // its article heading carries the version
extern const char* const kDownloadPageUrl;  // opened when the versions differ

}  // namespace zoq::app
