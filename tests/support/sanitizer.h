#pragma once
// Whether the tests were built with the address sanitizer (the sanitizer
// build turns the undefined-behaviour checks on with it): gcc defines
// __SANITIZE_ADDRESS__, clang answers __has_feature.

namespace tltest {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool UnderSanitizers = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool UnderSanitizers = true;
#else
inline constexpr bool UnderSanitizers = false;
#endif
#else
inline constexpr bool UnderSanitizers = false;
#endif

// The rounds of a randomized test: all of them in an optimised build, a
// fifth under the sanitizers, whose checks make each round tens of times
// slower.
constexpr int sanitizedRounds(int rounds) { return UnderSanitizers ? rounds / 5 : rounds; }

}  // namespace tltest
