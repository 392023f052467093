# Fails unless BINARY is free of the simulated USB box and WITH_SIM (the dry-run build) has it.
file(STRINGS ${BINARY} hits REGEX "SimUsbBox")
if(hits)
  message(FATAL_ERROR "${BINARY} contains the simulated USB box")
endif()
file(STRINGS ${WITH_SIM} hits REGEX "SimUsbBox")
if(NOT hits)
  message(FATAL_ERROR "the check cannot see the simulator: ${WITH_SIM} shows no trace of it")
endif()
