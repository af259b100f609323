// Telling a complete 32-bit x86 Windows GUI program from anything else a
// download may bring: an error page answered with "200 OK", a cut-off
// transfer, a program for another machine, a library, a console program
// (which would open a console window at every start).
#pragma once

#include "platform.h"

// True when the file at `path` is a PE32 image for i386 (the "MZ" header,
// the "PE" signature, machine 0x14C, the PE32 optional header) marked as an
// executable program and not as a library, for the Windows GUI subsystem,
// and holds every byte its headers place: the headers, each section's raw
// data, the symbol table and its strings.
bool is_complete_i386_gui_program(const path_char *path);
