# Writes the winget manifests of this version from their templates, once the installer they
# describe is built (and signed): its SHA-256, and the release date, which is SOURCE_DATE_EPOCH's
# day when that is set.
#   cmake -DSETUP=<installer> -DOUT=<folder> -DPROJECT_VERSION=... -DPROJECT_DESCRIPTION=...
#         -DPROJECT_HOMEPAGE_URL=... -P manifests.cmake
file(SHA256 ${SETUP} SETUP_SHA256)
string(TOUPPER ${SETUP_SHA256} SETUP_SHA256)
get_filename_component(SETUP_NAME ${SETUP} NAME)
string(TIMESTAMP RELEASE_DATE "%Y-%m-%d" UTC)
file(GLOB templates ${CMAKE_CURRENT_LIST_DIR}/*.yaml.in)
foreach(template ${templates})
  get_filename_component(name ${template} NAME_WLE)
  configure_file(${template} ${OUT}/${name} @ONLY)
  # Newer than the installer, even where the text stays the same.
  file(TOUCH ${OUT}/${name})
endforeach()
