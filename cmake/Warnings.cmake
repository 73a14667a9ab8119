# Project-wide compile and link settings for the Windows programs.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# The programs link against the platform libraries only: no MinGW runtime DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)

# Applied per target so that third-party code (GoogleTest) keeps its own flags.
function(qx_strict target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Werror>)
endfunction()

# Program code is written without exceptions; tests may use GoogleTest's defaults.
function(qx_program_code target)
  qx_strict(${target})
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
endfunction()

# A GUI-subsystem program.
function(qx_gui_program target)
  qx_program_code(${target})
  target_link_options(${target} PRIVATE -mwindows)
endfunction()

# A console program.
function(qx_console_program target)
  qx_program_code(${target})
  target_link_options(${target} PRIVATE -mconsole)
endfunction()
