# The installed Kv libraries: Kv::platform, Kv::util, Kv::sip and Kv::sdp, each bringing the
# include folder and the libraries it needs.
include(CMakeFindDependencyMacro)
find_dependency(Threads)
include(${CMAKE_CURRENT_LIST_DIR}/KvTargets.cmake)
