// The version text of this build, shown in the about label and named in the update request.
// Defined once per program (carvelo_main.cpp), so the same sources build under another version
// text.
#pragma once

extern const char PROGRAM_VERSION[];
