# The client loads the web engine as a plugin on first use; linking it would
# map it into every client at start.
execute_process(COMMAND readelf -d ${BIN} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${BIN}")
endif()
if(dynamic MATCHES "WebEngine")
  message(FATAL_ERROR "${BIN} links the web engine")
endif()
