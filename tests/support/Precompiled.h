// The headers nearly every test source includes, parsed once into a
// precompiled header that each test executable and benchmark reuses (see
// TK_TEST_PCH in CMakeLists.txt): under the sanitizers gtest alone takes
// near a second to parse per source.
// Only headers of the toolchain and of outside libraries belong here. The
// product's own headers stay out, so that a change to one of them rebuilds
// only the tests that include it, and the product is never built with this
// file: there a missing include must still fail the compile.
#pragma once

#include <gtest/gtest.h>

#include <boost/interprocess/exceptions.hpp>
#include <boost/interprocess/sync/interprocess_recursive_mutex.hpp>
#include <boost/shared_ptr.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>
