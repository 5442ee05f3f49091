# The manual Zize.chm, compiled from res/manual with chmcmd (fp-utils).
# zize_add_manual(TARGET OUTPUT_CHM): a target, built by default, that makes OUTPUT_CHM.
function(zize_add_manual target chm)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/manual/*)
  get_filename_component(dir ${chm} DIRECTORY)
  add_custom_command(OUTPUT ${chm}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND bash ${CMAKE_SOURCE_DIR}/res/make_manual.sh ${CMAKE_SOURCE_DIR}/res/manual ${chm}
    DEPENDS ${sources} ${CMAKE_SOURCE_DIR}/res/make_manual.sh
    COMMENT "Compiling the manual Zize.chm")
  add_custom_target(${target} ALL DEPENDS ${chm})
endfunction()
