# Driver of the installed-package test (see CMakeLists.txt). Every program
# runs without LD_LIBRARY_PATH: what it needs it finds through run paths.
file(REMOVE_RECURSE ${WORK_DIR})
unset(ENV{LD_LIBRARY_PATH})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "command failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

# Runs a host and checks what it prints. A numbra-only host must not list
# libcorvel itself (checked with readelf, where there is one): otherwise the
# test would not show that libnumbra finds libcorvel on its own.
function(run_host exe want numbra_only)
  find_program(READELF readelf)
  if(READELF AND numbra_only)
    run(${READELF} -d ${exe})
    if(last_output MATCHES "libcorvel")
      message(FATAL_ERROR "${exe} lists libcorvel itself")
    endif()
  endif()
  run(${exe})
  if(NOT last_output MATCHES "${want}")
    message(FATAL_ERROR "${exe} printed: ${last_output}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The installed tool starts from the prefix.
if(EXISTS ${prefix}/bin/numbra)
  run(${prefix}/bin/numbra help)
  if(NOT last_output MATCHES "usage: numbra")
    message(FATAL_ERROR "installed numbra help printed: ${last_output}")
  endif()
endif()

set(san_flags "")
if(SANITIZE)
  list(JOIN SANITIZE "," s)
  set(san_flags "-fsanitize=${s}")
endif()

# 1. find_package(numbra)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${prefix}
    "-DCMAKE_CXX_FLAGS=${san_flags}" "-DCMAKE_EXE_LINKER_FLAGS=${san_flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run_host(${WORK_DIR}/build/host "numbra host ok" NO)
run_host(${WORK_DIR}/build/host_numbra "numbra-only host ok" YES)

# 2. pkg-config
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig:${prefix}/lib64/pkgconfig)
  foreach(d lib lib64 lib/x86_64-linux-gnu)
    if(EXISTS ${prefix}/${d}/pkgconfig/numbra.pc)
      set(ENV{PKG_CONFIG_PATH} ${prefix}/${d}/pkgconfig)
      set(libdir ${prefix}/${d})
    endif()
  endforeach()
  run(${PKG_CONFIG} --cflags --libs numbra)
  string(STRIP "${last_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(sflags UNIX_COMMAND "${san_flags}")
  # The README's line plus the host's own run path.
  run(${CXX} ${sflags} ${SOURCE_DIR}/host.cpp ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/host_pc)
  run_host(${WORK_DIR}/host_pc "numbra host ok" NO)
  run(${CXX} ${sflags} ${SOURCE_DIR}/host_numbra.cpp -Wl,--as-needed ${flags} -Wl,-rpath,${libdir}
      -o ${WORK_DIR}/host_numbra_pc)
  run_host(${WORK_DIR}/host_numbra_pc "numbra-only host ok" YES)
endif()
