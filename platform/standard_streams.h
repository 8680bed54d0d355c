// Standard input, output and error made fit for the run before anything else
// opens a file.
#ifndef VANTREL_PLATFORM_STANDARD_STREAMS_H
#define VANTREL_PLATFORM_STANDARD_STREAMS_H

namespace platform {

// On POSIX systems: a standard descriptor the program was started without
// is opened on /dev/null, so that no file the program or the board library
// opens later takes its number (keys would then be read from that file, or
// the report written into it). Standard output is opened read-only, so every
// write to it fails as it would on the closed descriptor. A terminal on
// standard input left non-blocking by an earlier program is made blocking
// for the run (and put back at exit), so that the prompts wait for the
// operator. Elsewhere nothing.
void PrepareStandardStreams();

}  // namespace platform

#endif
