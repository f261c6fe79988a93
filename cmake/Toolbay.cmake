# Shared build helpers.

if(TOOLBAY_SANITIZER STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(TOOLBAY_SANITIZER STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

add_compile_options(-Wall -Wextra)

# toolbay_add_test(<name> SOURCES ... [LIBS ...] [THREADED] [LABELS ...] [TIMEOUT s]
#                  [ENV "A=1;B=2"] [DEPENDS targets needed at run time]
#                  [RESOURCE_LOCK name])
#
# TOOLBAY_BIG_SCREEN is an ENV entry giving the offscreen platform one
# 1280 x 1024 screen.
#
# In a sanitizer tree the test may not exist (see below): use DEPENDS, not
# add_dependencies on the test.
#
# Threaded tests run under ThreadSanitizer in the thread tree; the address
# tree runs all the others. In the thread tree a non-threaded test is not
# even built, which keeps that build small.
set_property(GLOBAL PROPERTY TOOLBAY_THREADED_TESTS "")
set(TOOLBAY_BIG_SCREEN "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_SOURCE_DIR}/tests/screen-1280x1024.json")
function(toolbay_add_test name)
  cmake_parse_arguments(T "THREADED" "TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS;LABELS;ENV;DEPENDS;INCLUDES;DEFINES" ${ARGN})
  if(TOOLBAY_SANITIZER STREQUAL "thread" AND NOT T_THREADED)
    return()
  endif()
  if(TOOLBAY_SANITIZER STREQUAL "address" AND T_THREADED)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  if(T_INCLUDES)
    target_include_directories(${name} PRIVATE ${T_INCLUDES})
  endif()
  if(T_DEFINES)
    target_compile_definitions(${name} PRIVATE ${T_DEFINES})
  endif()
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS}) # programs or libraries it needs at run time
  endif()
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin
    AUTOMOC ON
    BUILD_RPATH "${TOOLBAY_BIN_DIR};${CMAKE_BINARY_DIR}/tests-bin")
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
  set(labels ${T_LABELS})
  if(T_THREADED)
    list(APPEND labels threaded)
    set_property(GLOBAL APPEND PROPERTY TOOLBAY_THREADED_TESTS ${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(T_RESOURCE_LOCK)
    # Tests sharing a file of the test directory (Config.xml, ...) never run together.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  # A WS-Discovery port of the test's own, so that ONVIF devices of another
  # test (or of a simulator running on this host) are never heard.
  string(MD5 wsd_hash "${name}")
  string(SUBSTRING "${wsd_hash}" 0 4 wsd_hex)
  math(EXPR wsd_port "20000 + (0x${wsd_hex} % 9000)")
  # intercept_tls_get_addr=0: this toolchain's leak checker guesses the C
  # library's layout of a dlopen'ed library's thread-local block from its
  # address alignment, and now and then guesses wrong and crashes at exit
  # ("Tracer caught signal 11"). Not scanning those blocks can only add a
  # report (of memory reachable from them alone), never hide a leak.
  set_tests_properties(${name} PROPERTIES
    LABELS "${labels}"
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZELT_INTERFACES=lo;ZELT_WSD_PORT=${wsd_port};TOOLBAY_BIN_DIR=${TOOLBAY_BIN_DIR};TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1;ASAN_OPTIONS=detect_leaks=1 intercept_tls_get_addr=0 fast_unwind_on_malloc=0;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1;${T_ENV}")
endfunction()

# toolbay_add_subdirectory(<dir>)
#
# Adds a module folder; a listed folder without a CMakeLists.txt fails the
# configuration, as does any source file a module names that is missing:
# no module is ever skipped quietly.
function(toolbay_add_subdirectory dir)
  get_filename_component(full ${dir} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT EXISTS ${full}/CMakeLists.txt)
    message(FATAL_ERROR "Module ${dir} is listed but has no CMakeLists.txt")
  endif()
  add_subdirectory(${dir})
endfunction()

# toolbay_require(<who> <Debian package> <condition...>)
#
# Fails the configuration, naming the package, unless the condition (as
# if() takes it) holds. A module or test whose dependency is missing never
# drops out of the build quietly; scripts/setup.sh installs every package.
function(toolbay_require who package)
  if(NOT (${ARGN}))
    message(FATAL_ERROR "${who}: the Debian package ${package} is missing (scripts/setup.sh installs it)")
  endif()
endfunction()

# toolbay_require_targets(<who> <target>...)
#
# The same for targets of other modules of this tree.
function(toolbay_require_targets who)
  foreach(t IN LISTS ARGN)
    if(NOT TARGET ${t})
      message(FATAL_ERROR "${who}: ${t} is not defined in this configuration")
    endif()
  endforeach()
endfunction()
