# The Windows module: the plug-in core, the USER/GDI drawing backend, the
# export table with its ordinals, the version resource, and the hardening a
# host may expect of a module in its process.
enable_language(RC)

# Stack protector on the module's own code (the drawing backend sets it on
# its objects too); the guard and its handler live in stack_guard_win32.cpp.
target_compile_options(gyrotrail_core PRIVATE -fstack-protector-strong)

add_library(gyrotrail SHARED
  $<TARGET_OBJECTS:gyrotrail_core>
  $<TARGET_OBJECTS:gyrotrail_win32_frame>
  stack_guard_win32.cpp
  gyrotrail.def
  gyrotrail.rc)
set_target_properties(gyrotrail PROPERTIES PREFIX "" SUFFIX ".lum" OUTPUT_NAME gyrotrail)
target_link_libraries(gyrotrail PRIVATE user32 gdi32)
target_link_options(gyrotrail PRIVATE
  "LINKER:--dynamicbase" "LINKER:--nxcompat" "LINKER:--no-undefined")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  target_link_options(gyrotrail PRIVATE "LINKER:--high-entropy-va")
endif()

# Protected functions in the test programs find the guard here too.
add_library(gyrotrail_stack_guard OBJECT stack_guard_win32.cpp)
