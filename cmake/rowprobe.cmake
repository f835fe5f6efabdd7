# A class without its row, or with a misspelt one, must not compile. Each
# probe of tests/compilefail/rowprobe.cpp is compiled at configure time and
# must fail with the error that names its mistake; the control, the same
# classes written right, must compile, or the probes would fail for another
# reason and show nothing.
function(camdet_row_probe probe expect)
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
  set(defs)
  if(NOT probe STREQUAL "CONTROL")
    set(defs -DROW_PROBE_${probe})
  endif()
  try_compile(compiled ${CMAKE_BINARY_DIR}/rowprobe/${probe}
              SOURCES ${CMAKE_SOURCE_DIR}/tests/compilefail/rowprobe.cpp
              COMPILE_DEFINITIONS ${defs}
              CMAKE_FLAGS "-DINCLUDE_DIRECTORIES=${CMAKE_SOURCE_DIR};${JSONCPP_INCLUDE_DIRS}"
              CXX_STANDARD 17
              OUTPUT_VARIABLE out)
  if(probe STREQUAL "CONTROL")
    if(NOT compiled)
      message(FATAL_ERROR "Row probe: the well-formed classes do not compile:\n${out}")
    endif()
  elseif(compiled)
    message(FATAL_ERROR "Row probe ${probe}: a class with this mistake compiles")
  elseif(NOT out MATCHES "${expect}")
    message(FATAL_ERROR "Row probe ${probe}: fails, but not on its mistake (${expect}):\n${out}")
  endif()
endfunction()

camdet_row_probe(CONTROL "")
camdet_row_probe(CGI_NO_ROW "error: expected (primary-)?expression")
camdet_row_probe(BIN_NO_ROW "error: expected (primary-)?expression")
camdet_row_probe(CGI_MISSPELT_RULE "MesoaMotion")
camdet_row_probe(MP_MISSPELT_RULE "AxisMotoin")
camdet_row_probe(JPG_MISSPELT_RULE "BaslerMotoin")
camdet_row_probe(DEF_WITHOUT_CLASS "MesoaMD")
message(STATUS "Row probes: a class without its row or with a misspelt one does not compile")
