# Run after linking the Windows program: fails the build when the program
# does not carry its application manifest (cmake -DPROGRAM=... -P this file).
file(STRINGS "${PROGRAM}" found REGEX "requestedExecutionLevel level=\"asInvoker\"")
if(NOT found)
  message(FATAL_ERROR "${PROGRAM} carries no application manifest asking to run asInvoker")
endif()
