// The qualified name of the enclosing function, as MSVC's __FUNCTION__ gives
// it ("Orvel::State::PropertyClient::tryInitialization"). GCC and Clang only
// offer __PRETTY_FUNCTION__, with return type, parameters and template
// arguments; the name is cut out of it at compile time.
#pragma once
#include <cstddef>

namespace Orvel::detail {

template <std::size_t N>
struct FunctionName {
  char text[N]{};
  constexpr const char* c_str() const { return text; }
};

constexpr bool startsWith(const char* s, std::size_t n, std::size_t at, const char* prefix) {
  for (std::size_t k = 0; prefix[k] != '\0'; ++k) {
    if (at + k >= n || s[at + k] != prefix[k]) return false;
  }
  return true;
}

// Rules, applied to e.g. "std::vector<int> A::B<T>::f(int) const [with T = int]":
// - a " [with ...]" or " [T = ...]" suffix is dropped;
// - the return type is everything before the last space that lies outside
//   brackets and before the function's own parameter list;
// - parameter lists "(...)" and template argument lists "<...>" are dropped;
// - a GCC lambda "::<lambda(...)>" and a Clang lambda "::(anonymous class)::operator()()"
//   both become "::<lambda>::operator ()", the shape MSVC gives a lambda.
template <std::size_t N>
constexpr FunctionName<N + 32> makeFunctionName(const char (&pretty)[N]) {
  FunctionName<N + 32> out{};
  std::size_t end = N - 1;  // without the terminator
  // Drop a trailing template-argument note.
  for (std::size_t i = 0; i + 1 < end; ++i) {
    if (pretty[i] == ' ' && pretty[i + 1] == '[') {
      end = i;
      break;
    }
  }
  std::size_t length = 0;
  int paren = 0;
  int angle = 0;
  for (std::size_t i = 0; i < end; ++i) {
    const char c = pretty[i];
    if (paren == 0 && angle == 0 && startsWith(pretty, end, i, "<lambda")) {
      const char* lambda = "<lambda>::operator ()";
      for (std::size_t k = 0; lambda[k] != '\0'; ++k) out.text[length++] = lambda[k];
      // Skip to the closing '>' of the lambda's name.
      int depth = 0;
      for (; i < end; ++i) {
        if (pretty[i] == '<' || pretty[i] == '(') ++depth;
        if (pretty[i] == '>' || pretty[i] == ')') --depth;
        if (depth == 0) break;
      }
      continue;
    }
    if (paren == 0 && angle == 0 && startsWith(pretty, end, i, "(anonymous class)::operator()")) {
      const char* lambda = "<lambda>::operator ()";
      for (std::size_t k = 0; lambda[k] != '\0'; ++k) out.text[length++] = lambda[k];
      i += sizeof("(anonymous class)::operator()") - 2;
      continue;
    }
    if (paren == 0 && startsWith(pretty, end, i, "operator()")) {
      const char* op = "operator ()";
      for (std::size_t k = 0; op[k] != '\0'; ++k) out.text[length++] = op[k];
      i += sizeof("operator()") - 2;
      continue;
    }
    if (c == '(') {
      ++paren;
      continue;
    }
    if (c == ')') {
      --paren;
      continue;
    }
    if (paren > 0) continue;
    if (c == '<') {
      ++angle;
      continue;
    }
    if (c == '>') {
      --angle;
      continue;
    }
    if (angle > 0) continue;
    if (c == ' ') {
      // Before the parameter list a space ends the return type; after it, the
      // rest (" const", " noexcept") is not part of the name.
      // A qualifier followed by "::" belongs to an enclosing function of a
      // lambda ("f(int) const::<lambda()>") and is skipped.
      bool sawParameters = false;
      for (std::size_t k = 0; k < i; ++k) sawParameters = sawParameters || pretty[k] == '(';
      if (sawParameters && length > 0) {
        std::size_t k = i + 1;
        while (k < end && pretty[k] != ' ' && pretty[k] != ':') ++k;
        if (startsWith(pretty, end, k, "::")) {
          i = k - 1;
          continue;
        }
        break;
      }
      length = 0;
      continue;
    }
    out.text[length++] = c;
  }
  out.text[length] = '\0';
  return out;
}

}  // namespace Orvel::detail

#if defined(_MSC_VER) && !defined(__clang__)
#define ORVEL_FUNCTION_NAME_DECLARE(var) static constexpr const char* var = __FUNCTION__
#else
#define ORVEL_FUNCTION_NAME_DECLARE(var) \
  static constexpr auto var##Storage = ::Orvel::detail::makeFunctionName(__PRETTY_FUNCTION__); \
  static constexpr const char* var = var##Storage.c_str()
#endif
