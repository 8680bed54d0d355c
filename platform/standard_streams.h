// Standard input, output and error made fit for the run before anything else
// opens a file.
#ifndef VANTREL_PLATFORM_STANDARD_STREAMS_H
#define VANTREL_PLATFORM_STANDARD_STREAMS_H

namespace platform {

// On POSIX systems: SIGPIPE is ignored, so that a write to a pipe nobody
// reads fails and is reported; a standard descriptor the program was started without
// is opened on /dev/null, so that no file the program or the board library
// opens later takes its number (keys would then be read from that file, or
// the report written into it). Standard output is opened read-only, so every
// write to it fails as it would on the closed descriptor. A terminal on
// standard input left non-blocking by an earlier program is made blocking
// for the run (and put back at exit), so that the prompts wait for the
// operator. On Windows: the console's input mode (CONIN$, which key waits
// read) is noted, and put back when Ctrl+Break or the closing of the
// console ends the process.
void PrepareStandardStreams();

// Puts standard input back as the program found it (the terminal's
// blocking flag, the console's input mode). Safe to call from a signal
// handler or an exception filter, where the process is about to end.
void RestoreStandardStreams();

// Whether the terminal or console shows UTF-8: the codeset of the locale the
// environment names (LC_ALL, LC_CTYPE, LANG), or the console's output code
// page on Windows.
bool ConsoleTakesUtf8();

}  // namespace platform

#endif
