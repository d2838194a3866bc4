# The status page in a real browser: headless Chromium, driven by Selenium,
# against tovrin-batch --http over a folder of drawings the helper makes.
# Skips (exit 77) where no browser or driver is installed.
add_executable(tovrin-web-drawings ${CMAKE_CURRENT_LIST_DIR}/helper/make_web_drawings.cpp)
target_include_directories(tovrin-web-drawings PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../support)
# Debian's python3, where python3-selenium is, even when another python3
# comes first on the PATH.
find_program(WEB_TEST_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT WEB_TEST_PYTHON)
  find_program(WEB_TEST_PYTHON NAMES python3)
endif()
if(WEB_TEST_PYTHON)
  add_test(NAME web_status_page_browser
    COMMAND ${WEB_TEST_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/status_page_browser.py
            $<TARGET_FILE:tovrin-batch> $<TARGET_FILE:tovrin-web-drawings>)
  set_tests_properties(web_status_page_browser PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180)
endif()
