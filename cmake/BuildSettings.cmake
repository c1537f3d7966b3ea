# One place for the flags every Trawlkit target is built with.
add_library(trawlkit_build INTERFACE)
target_compile_options(trawlkit_build INTERFACE
  -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor)
target_compile_definitions(trawlkit_build INTERFACE
  TRAWLKIT_VERSION="${PROJECT_VERSION}"
  TRAWLKIT_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  TRAWLKIT_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  TRAWLKIT_VERSION_PATCH=${PROJECT_VERSION_PATCH})

# In the test build a warning stops the build: a warning nobody has to read soon becomes one of
# many nobody reads. TRAWLKIT_WERROR=OFF is for a compiler newer than the code, until it is mended.
option(TRAWLKIT_WERROR "Warnings are errors in the test build" ON)
if(TRAWLKIT_TESTS AND TRAWLKIT_WERROR)
  target_compile_options(trawlkit_build INTERFACE -Werror)
endif()

if(TRAWLKIT_SANITIZE AND TRAWLKIT_TSAN)
  message(FATAL_ERROR "TRAWLKIT_SANITIZE and TRAWLKIT_TSAN exclude each other: configure two build folders")
endif()
if(TRAWLKIT_SANITIZE)
  target_compile_options(trawlkit_build INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(trawlkit_build INTERFACE -fsanitize=address,undefined)
endif()
# The worker, the cache writer and the requests sent ahead share data across threads.
if(TRAWLKIT_TSAN)
  target_compile_options(trawlkit_build INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(trawlkit_build INTERFACE -fsanitize=thread)
endif()

# A core library of one folder: static, built with the common flags, includes rooted at the
# source tree so that code says #include "inet/url.h".
function(trawlkit_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC trawlkit_build)
endfunction()
