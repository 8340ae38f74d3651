# Warning flags for the project's own targets; never pushed onto consumers.
function(xamlpie_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${XAMLPIE_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion
                                             $<$<BOOL:${XAMLPIE_WERROR}>:-Werror>)
  endif()
endfunction()
