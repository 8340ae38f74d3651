# ctest builds and runs a separate project against xamlpie the ways a user
# would: from the source tree, from an installed package, and through
# pkg-config.

set(consumer_source ${PROJECT_SOURCE_DIR}/cmake/consumer)
set(consumer_dir ${PROJECT_BINARY_DIR}/consumer)
if(TARGET xamlpie_markup)
  set(consumer_label ON)
else()
  set(consumer_label OFF)
endif()
if(TARGET xamlpie_quick)
  set(consumer_quick ON)
else()
  set(consumer_quick OFF)
endif()
set(consumer_flags -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
                   -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
                   "-DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS}"
                   "-DCMAKE_EXE_LINKER_FLAGS=${CMAKE_EXE_LINKER_FLAGS}"
                   "-DCMAKE_SHARED_LINKER_FLAGS=${CMAKE_SHARED_LINKER_FLAGS}"
                   -DCONSUMER_LABEL=${consumer_label} -DCONSUMER_QUICK=${consumer_quick})

set(consumer_env "QT_QPA_PLATFORM=set:offscreen")
if(consumer_quick)
  set(consumer_run sh -c "./xamlpie-consumer && ./xamlpie-label-consumer && ./xamlpie-form-consumer && ./xamlpie-quick-consumer")
elseif(consumer_label)
  set(consumer_run sh -c "./xamlpie-consumer && ./xamlpie-label-consumer && ./xamlpie-form-consumer")
else()
  set(consumer_run ./xamlpie-consumer)
endif()

add_test(NAME consumer.subdirectory
  COMMAND ${CMAKE_CTEST_COMMAND} --build-and-test ${consumer_source} ${consumer_dir}/subdirectory
          --build-generator ${CMAKE_GENERATOR} --build-options ${consumer_flags}
          -DXAMLPIE_SOURCE_DIR=${PROJECT_SOURCE_DIR} -DXAMLPIE_TEST=OFF
          --test-command ${consumer_run})

add_test(NAME consumer.install
  COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${consumer_dir}/prefix)
set_tests_properties(consumer.install PROPERTIES FIXTURES_SETUP xamlpie_installed)

add_test(NAME consumer.find_package
  COMMAND ${CMAKE_CTEST_COMMAND} --build-and-test ${consumer_source} ${consumer_dir}/package
          --build-generator ${CMAKE_GENERATOR} --build-options ${consumer_flags}
          -DCMAKE_PREFIX_PATH=${consumer_dir}/prefix
          --test-command ${consumer_run})

# The chart alone, compiled by hand with what pkg-config says.
find_program(XAMLPIE_PKG_CONFIG NAMES pkg-config pkgconf)
if(XAMLPIE_PKG_CONFIG)
  add_test(NAME consumer.pkg_config
    COMMAND sh -c "${CMAKE_CXX_COMPILER} -std=c++20 ${CMAKE_CXX_FLAGS} -DXAMLPIE_PLAIN \
${consumer_source}/main.cpp $(${XAMLPIE_PKG_CONFIG} --cflags --libs xamlpie) \
-Wl,-rpath,${consumer_dir}/prefix/${CMAKE_INSTALL_LIBDIR} -o ${consumer_dir}/plain \
${CMAKE_EXE_LINKER_FLAGS} && ${consumer_dir}/plain")
  set_tests_properties(consumer.pkg_config PROPERTIES
    FIXTURES_REQUIRED xamlpie_installed
    ENVIRONMENT_MODIFICATION "PKG_CONFIG_PATH=set:${consumer_dir}/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig")
endif()
set_tests_properties(consumer.find_package PROPERTIES FIXTURES_REQUIRED xamlpie_installed)
set_tests_properties(consumer.subdirectory consumer.find_package PROPERTIES
  ENVIRONMENT_MODIFICATION "${consumer_env}")

# An install without the label: asking for it must say why it is missing.
add_test(NAME consumer.without_label
  COMMAND sh -c "set -e; d=${consumer_dir}/nolabel
${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B $d/build -G '${CMAKE_GENERATOR}' -DXAMLPIE_LABEL=OFF -DXAMLPIE_TEST=OFF -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER} >/dev/null
${CMAKE_COMMAND} --build $d/build >/dev/null
${CMAKE_COMMAND} --install $d/build --prefix $d/prefix >/dev/null
! ${CMAKE_COMMAND} -S ${consumer_source} -B $d/consumer -DCMAKE_PREFIX_PATH=$d/prefix 2>&1")
set_tests_properties(consumer.without_label PROPERTIES
  PASS_REGULAR_EXPRESSION "built without its Qt 6 label")
