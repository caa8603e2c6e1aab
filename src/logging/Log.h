// Call-site forms of the logger. Each passes the qualified name of the
// enclosing function, a printf-style format and its arguments. Logging never
// throws and never stops the program.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>

#include "logging/FunctionName.h"
#include "logging/Logger.h"
#include "logging/PrintfFormat.h"

namespace Orvel {

// Formats "timestamp tag[function] message\n" and writes it through the
// process-wide logger. The message is cut to 4095 characters.
void logMessage(const char* function, int level, const char* format, ...) noexcept ORVEL_PRINTF_FORMAT(3, 4);
void logMessageV(const char* function, int level, const char* format, va_list args) noexcept;

// Per-thread state of one rate-limited call site.
struct ThrottleState {
  bool started = false;
  std::int64_t lastWrittenNs = 0;
  std::int32_t occurrences = 0;
};

// Counts one occurrence; writes "(skipped N) " and the message when the
// interval has passed since the last written line of this thread.
void logThrottled(const char* function, ThrottleState& state, int level, std::int64_t intervalNs, const char* format,
                  ...) noexcept ORVEL_PRINTF_FORMAT(5, 6);

// Logs "Verify (assertion) failed for: '<message>' in '<file>' : <line>" at
// Error and returns false.
bool verifyFailed(const char* function, const char* message, const char* file, int line) noexcept;

// Logs "Property change : <role> '<key>' '<value>'" at Info. Unlike the other
// forms it lets an allocation failure reach its caller.
void LogUtil_PropertyChange(const std::string& clientRole, const std::string& key, const std::string& value);

}  // namespace Orvel

#if defined(_MSC_VER) && !defined(__clang__)
#define ORVEL_FUNCTION_NAME_EXPR __FUNCTION__
#else
#define ORVEL_FUNCTION_NAME_EXPR (::Orvel::detail::makeFunctionName(__PRETTY_FUNCTION__).c_str())
#endif

#define ORVEL_LOG_AT(level, ...)                                          \
  do {                                                                    \
    ORVEL_FUNCTION_NAME_DECLARE(orvelLogFunction_);                       \
    ::Orvel::logMessage(orvelLogFunction_, (level), __VA_ARGS__);         \
  } while (0)

#define LOG_CRITICAL(...) ORVEL_LOG_AT(0, __VA_ARGS__)
#define LOG_ERROR(...) ORVEL_LOG_AT(1, __VA_ARGS__)
#define LOG_WARNING(...) ORVEL_LOG_AT(2, __VA_ARGS__)
#define LOG_INFO(...) ORVEL_LOG_AT(3, __VA_ARGS__)

// LOG_THROTTLED(level, intervalNs, format, args...): at most one line per
// interval per thread at this call site, prefixed "(skipped N) ".
#define LOG_THROTTLED(level, intervalNs, ...)                                                      \
  do {                                                                                             \
    ORVEL_FUNCTION_NAME_DECLARE(orvelLogFunction_);                                                \
    static thread_local ::Orvel::ThrottleState orvelThrottle_;                                     \
    ::Orvel::logThrottled(orvelLogFunction_, orvelThrottle_, (level), (intervalNs), __VA_ARGS__); \
  } while (0)

// LOG_ONCE(level, format, args...): the first time this call site is reached
// in the process, and never again.
#define LOG_ONCE(level, ...)                                           \
  do {                                                                 \
    static std::once_flag orvelLogOnce_;                               \
    std::call_once(orvelLogOnce_, [&] {                                \
      ORVEL_FUNCTION_NAME_DECLARE(orvelLogFunction_);                  \
      ::Orvel::logMessage(orvelLogFunction_, (level), __VA_ARGS__);    \
    });                                                                \
  } while (0)

// VERIFY(condition, message): a non-fatal assertion; an expression that is
// the condition's truth. A failure is logged and the caller continues.
#define VERIFY(condition, message) \
  (static_cast<bool>(condition) ? true : ::Orvel::verifyFailed(ORVEL_FUNCTION_NAME_EXPR, (message), __FILE__, __LINE__))
