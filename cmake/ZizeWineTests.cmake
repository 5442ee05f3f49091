# Test fixtures of the Windows build: one Xvfb display and one persistent
# wineserver (in the build's own prefix) for the whole test session, started
# before the first Wine test and stopped after the last.
set(ZIZE_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake)

add_test(NAME xvfb_up COMMAND sh ${ZIZE_SCRIPTS}/xvfb-up.sh ${CMAKE_BINARY_DIR})
add_test(NAME xvfb_down COMMAND sh ${ZIZE_SCRIPTS}/xvfb-down.sh ${CMAKE_BINARY_DIR})
set_tests_properties(xvfb_up PROPERTIES FIXTURES_SETUP XVFB TIMEOUT 60)
set_tests_properties(xvfb_down PROPERTIES FIXTURES_CLEANUP XVFB TIMEOUT 60)

add_test(NAME wine_up COMMAND sh ${ZIZE_SCRIPTS}/wine-up.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
add_test(NAME wine_down COMMAND sh ${ZIZE_SCRIPTS}/wine-down.sh ${CMAKE_BINARY_DIR})
set_tests_properties(wine_up PROPERTIES FIXTURES_SETUP WINE FIXTURES_REQUIRED XVFB TIMEOUT 300)
set_tests_properties(wine_down PROPERTIES FIXTURES_CLEANUP WINE FIXTURES_REQUIRED XVFB TIMEOUT 60)
set_tests_properties(xvfb_up xvfb_down wine_up wine_down PROPERTIES LABELS "win;gui")
