# One run of a test program under valgrind's memcheck, as a CTest test named
# memcheck_<target> with the label `memcheck`: any invalid access, use of an
# uninitialised value or leak fails it. Sanitizer builds skip it, as memcheck
# cannot run beside AddressSanitizer. Allocators that a test program defines
# itself are left alone (nouserintercepts), so they still see every call.
find_program(GYROTRAIL_VALGRIND valgrind)

function(gyrotrail_memcheck target)
  if(NOT GYROTRAIL_VALGRIND OR CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    return()
  endif()
  add_test(NAME memcheck_${target}
    COMMAND ${GYROTRAIL_VALGRIND} --quiet --error-exitcode=99 --leak-check=full
            --errors-for-leak-kinds=definite,indirect --track-origins=yes
            --soname-synonyms=somalloc=nouserintercepts
            $<TARGET_FILE:${target}> ${ARGN})
  set_tests_properties(memcheck_${target} PROPERTIES LABELS memcheck TIMEOUT 600)
endfunction()
