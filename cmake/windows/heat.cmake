# Lists the staged bin\ and examples\ for the installer with wixl-heat:
# OUT/programs.wxs (component group Programs in BINDIR) and OUT/examples.wxs
# (Examples in EXAMPLESDIR). (BinDir, ExamplesDir: the folders,
# and Win64: yes or no, for wixl -D). cmake -DSTAGE= -DHEAT= -DOUT= -P heat.cmake
foreach(part programs:bin:BINDIR:Programs:BinDir examples:examples:EXAMPLESDIR:Examples:ExamplesDir)
    string(REPLACE ":" ";" part ${part})
    list(GET part 0 name)
    list(GET part 1 folder)
    list(GET part 2 directory)
    list(GET part 3 group)
    list(GET part 4 variable)
    file(GLOB files LIST_DIRECTORIES false ${STAGE}/${folder}/*)
    list(JOIN files "\n" list)
    file(WRITE ${OUT}/${name}.files "${list}\n")
    execute_process(COMMAND ${HEAT} --prefix ${STAGE}/${folder}/ --directory-ref ${directory}
                            --component-group ${group} --var var.${variable} --win64
                    INPUT_FILE ${OUT}/${name}.files OUTPUT_FILE ${OUT}/${name}.wxs
                    RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "wixl-heat failed on ${STAGE}/${folder}")
    endif()
endforeach()
