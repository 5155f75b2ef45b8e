# Compiler settings shared by every target of ours (not by GoogleTest).
add_library(qm_warnings INTERFACE)
target_compile_options(qm_warnings INTERFACE -Wall -Wextra -Werror)

if(WIN32)
  # 8-bit ANSI texts throughout: the ...A entry points, never UNICODE mappings.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  add_compile_definitions($<$<COMPILE_LANGUAGE:C,CXX>:_MBCS>)
else()
  option(QM_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" ON)
  if(QM_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# Adds a first-party library or executable's usual settings.
function(qm_target name)
  target_link_libraries(${name} PRIVATE qm_warnings)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${QM_GENERATED_DIR})
endfunction()
