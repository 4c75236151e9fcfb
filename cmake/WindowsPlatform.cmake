# The Windows build: the platform is the system's own (mingw-w64's headers and import libraries)
# instead of compat/win32. rkwin32 and rkwin32gui name the system libraries the kernel side and
# the user-interface side link, so that the subsystems' link lines stay as they are.
add_library(rkwin32 INTERFACE)
target_link_libraries(rkwin32 INTERFACE advapi32 shell32 ole32 uuid)
add_library(rkwin32gui INTERFACE)
target_link_libraries(rkwin32gui INTERFACE rkwin32 user32 gdi32 msimg32 comdlg32)

# Linked statically: the programs import only the system's DLLs.
add_link_options(-static)

# The programs' resource scripts (their application manifests) are compiled by mingw-w64's windres.
enable_language(RC)

# Tools that run at build time (the logo generator, the package writer) are built for the build
# machine by scripts/build-windows.sh in RK_HOST_TOOLS and imported here.
set(RK_HOST_TOOLS "" CACHE PATH "Build folder of the build machine's make_logos and packwriter")
foreach(tool wizard/make_logos tools/packwriter)
  get_filename_component(name ${tool} NAME)
  if(NOT EXISTS ${RK_HOST_TOOLS}/${tool})
    message(FATAL_ERROR "${name} for the build machine not found in RK_HOST_TOOLS (${RK_HOST_TOOLS})")
  endif()
  add_executable(${name} IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${RK_HOST_TOOLS}/${tool})
endforeach()
