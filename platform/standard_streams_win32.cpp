#include "platform/standard_streams.h"

namespace platform {

// The console hands its handles to the process as they are; nothing to mend.
void PrepareStandardStreams() {}

}  // namespace platform
